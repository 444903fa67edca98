#pragma once
// Symbols of the platform library that other modules and the host may use.
#define PLATFORM_API __attribute__((visibility("default")))
