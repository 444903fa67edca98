#include "uicontrol/keyvaluetext.h"

#include "logging/logging.h"
#include "logging/messages.h"

std::wstring FormatKeyValueText(const KeyValueMap& entries) {
  std::wstring text;
  if (!keyvalue::WriteChecked(entries, &text)) LOG_AT(logging::LOG_WARNING) << logging::msg::kUnsafeText;
  return text;
}
