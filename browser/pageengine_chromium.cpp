// Without WebKitGTK the desktop browser runs headless Chromium: the tabs work, their views
// are not shown in the window.
#include "browser/pageengine.h"

PageEngine DesktopPageEngine() { return ChromiumPageEngine(); }
