#include "components/pagecore/recovery.h"

#include <cstdint>
#include <cwchar>
#include <random>

#include "components/pagecore/waitingorders.h"

namespace pagecore {

std::wstring NewRecoveryUuid() {
  std::random_device device;
  std::mt19937_64 random((static_cast<uint64_t>(device()) << 32) ^ device());
  uint64_t high = random(), low = random();
  high = (high & ~0xf000ull) | 0x4000ull;
  low = (low & 0x3fffffffffffffffull) | 0x8000000000000000ull;
  wchar_t text[40];
  swprintf(text, 40, L"%08x-%04x-%04x-%04x-%012llx", static_cast<unsigned>(high >> 32),
           static_cast<unsigned>((high >> 16) & 0xffff), static_cast<unsigned>(high & 0xffff),
           static_cast<unsigned>(low >> 48), static_cast<unsigned long long>(low & 0xffffffffffffull));
  return text;
}

bool KeepForRecovery(const RecoveryHook& hook, const std::wstring& shownUrl, const std::wstring& requestedUrl,
                     const std::wstring& title) {
  const std::wstring& kept = WorthKeeping(shownUrl) ? shownUrl : requestedUrl;
  if (!hook || !WorthKeeping(kept)) return false;
  hook(NewRecoveryUuid(), title.empty() ? kept : title, kept);
  return true;
}

}  // namespace pagecore
