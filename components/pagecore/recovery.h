#pragma once
// A tab closed with "ClOSETAB" is kept for recovery under a new uuid: the page it shows,
// or, while its first page (or a restored one) still loads, the address asked for. Empty
// pages and the engines' error pages are not kept.
#include <functional>
#include <string>

namespace pagecore {

using RecoveryHook =
    std::function<void(const std::wstring& uuid, const std::wstring& title, const std::wstring& url)>;

// A random uuid (version 4) in lower-case hexadecimal.
std::wstring NewRecoveryUuid();

// Calls `hook` (when there is one) with what the closed tab is kept as; false when
// nothing is worth keeping. The title is the address when the page has none.
bool KeepForRecovery(const RecoveryHook& hook, const std::wstring& shownUrl, const std::wstring& requestedUrl,
                     const std::wstring& title);

}  // namespace pagecore
