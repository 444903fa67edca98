#pragma once
// The dialog an "ERROR_REPORT" entry raises when no report handler is set.
#include <string>

namespace logging {
namespace detail {

// While dialogs are switched on and the text is not empty: runs "DebugMessage.exe" from
// the executable's folder with the text as its command line and waits for it to end;
// when it cannot be started, shows the text in a message box captioned "Fatal error".
void ShowDebugDialog(const std::string& text);

}  // namespace detail
}  // namespace logging
