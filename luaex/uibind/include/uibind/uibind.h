#pragma once
// Everything a program needs to create a binding host and declare classes for it.
#include "uibind/container.h"
#include "uibind/declarations.h"
#include "uibind/host.h"
#include "uibind/policy.h"
