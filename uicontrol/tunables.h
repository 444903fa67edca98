#pragma once
// Every number of the library that is a choice rather than a format, in one place, each
// with what it governs and why it has its value.
#include <cstdint>

namespace tunables {

// How long telling a page its parent window waits for the page to exist. Link and
// restored tabs get their page on the other worker; a page engine that starts its browser
// for the first page may take seconds, and a wait that ends early loses the order.
constexpr unsigned kWaitForPageMilliseconds = 30000;

// The entry of the statistics block that holds the bound main window, where other
// processes of the browser look for it.
constexpr unsigned long kStatCacheMainWindowEntry = 3;

// The text size of a new tab on the 0 (smallest) to 4 (largest) scale of "FONTSIZE":
// the middle, as browsers start.
constexpr uint32_t kDefaultFontSize = 2;

}  // namespace tunables
