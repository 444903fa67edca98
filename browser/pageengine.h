#pragma once
// The desktop browser's page engine, chosen by one line of browser/CMakeLists.txt: the
// source file that defines this function is the one built.
#include "host/pageengine.h"

PageEngine DesktopPageEngine();
