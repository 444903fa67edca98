#pragma once
// The fixed limits, rates and time-outs of both page engines, in one place. What a host
// may choose (navigation and save time-outs, the crash limit) is in the options of each
// engine's manager instead.
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace pagecore {

using namespace std::chrono_literals;

// Title, icon and status text of a page reach the host at most this often each; the
// newest value always follows once the gap has passed.
inline constexpr std::chrono::milliseconds kPageValueGap = 250ms;
// Windows a page opens and that are refused are reported in a burst of this many, then
// one per refill period; the rest are dropped with one log line per document.
inline constexpr int kPopupBurst = 8;
inline constexpr std::chrono::milliseconds kPopupRefill = 250ms;
// Messages that a page forges (without its token), and window.close() calls that are
// refused, are logged this many times per document; the rest only count.
inline constexpr int kRefusalLogLimit = 3;
// "font.size" of a new page (0 smallest to 4 largest; 2 is medium).
inline constexpr uint32_t kDefaultFontSize = 2;
// Navigation errors are told once per load; this many recent loads are remembered.
inline constexpr size_t kReportedLoadsKept = 16;

// Chromium: how long a page's setup commands (creating, attaching a target) may take.
inline constexpr std::chrono::milliseconds kCreateTimeout = 30s;
// Chromium: how long GetData waits for the history when the page has none cached.
inline constexpr std::chrono::milliseconds kHistoryTimeout = 10s;
// Chromium: the window of a new page, in pixels, until the host moves it.
inline constexpr int kNewViewWidth = 1280, kNewViewHeight = 800;
// Chromium: what a window opened by another page already shows is looked at again this
// many times at this interval (DevTools reports no events from before it listened).
inline constexpr int kAdoptedRechecks = 40;
inline constexpr std::chrono::milliseconds kAdoptedRecheckInterval = 250ms;

// A page whose renderer has not answered for this long is reported unresponsive
// ("PAGEUNRESPONSIVE"): long enough that a busy machine or a heavy script does not count,
// short enough that the user learns of a hung page before giving up on it.
inline constexpr std::chrono::milliseconds kUnresponsiveAfter = 5s;
// How often an open page's renderer is asked for a trivial answer while it is watched.
inline constexpr std::chrono::milliseconds kResponsivenessPing = 1s;

}  // namespace pagecore
