#include "logging/debug_dialog.h"

#include "logging/settings.h"
#include "platform/dialogs.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/text.h"

namespace logging {
namespace detail {

void ShowDebugDialog(const std::string& text) {
  if (text.empty() || !ShowDebugDialogs()) return;
  const std::string program = platform::WideToUtf8(platform::ExecutableFolder()) + "DebugMessage.exe";
  platform::ProcessHandle process = platform::CreateProcessA(program, text);
  if (process) {
    platform::WaitForProcess(process);
    return;
  }
  MessageBoxA(nullptr, text.c_str(), "Fatal error", MB_ICONERROR | MB_TOPMOST);
}

}  // namespace detail
}  // namespace logging
