#pragma once
// Classes and functions that the library exports to its host.
#define UICONTROL_API __attribute__((visibility("default")))
