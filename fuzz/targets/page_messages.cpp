// Texts the page engine reads from outside: the messages a page's script sends through
// the binding (any JSON or none), and the order texts the library sends to a page.
// A message either parses into a complete result or is refused with a reason; an order
// likewise, and what it carries must be within its documented range.
//
// Input: the first byte chooses what the rest is: even, a page message (bytes as they
// come); odd, an order text (wide text, see fuzzinput.h).
#include <string>

#include "components/webpage/keyvaluetext.h"
#include "components/webpage/orders.h"
#include "components/webpage/pagescript.h"
#include "fuzz/fuzzinput.h"

namespace {

void CheckPageMessage(const std::string& payload) {
  webpage::PageMessage message;
  message.text = L"untouched";
  std::string error;
  if (!webpage::ParsePageMessage(payload, &message, &error)) {
    FUZZ_CHECK(!error.empty(), "a refusal says why");
    FUZZ_CHECK(message.text == L"untouched", "a refused message leaves the result alone");
    return;
  }
  using Type = webpage::PageMessage::Type;
  if (message.type != Type::EditFavorite) FUZZ_CHECK(message.url.empty() && message.id == 0, payload);
  if (message.type != Type::EditFavorite && message.type != Type::AddFavorite) {
    FUZZ_CHECK(message.parentId == 0, payload);
  }
  if (message.type == Type::Close || message.type == Type::AddFavorite) FUZZ_CHECK(message.text.empty(), payload);
  // Texts arrive as UTF-8 and become wide text without surrogates.
  for (wchar_t c : message.text + message.url) FUZZ_CHECK(c < 0xD800 || c > 0xDFFF, payload);
}

void CheckOrder(const std::wstring& text) {
  webpage::Order order;
  std::string error;
  const bool parsed = webpage::ParseOrder(text.c_str(), &order, &error);
  if (!parsed) {
    FUZZ_CHECK(!error.empty(), "a refusal says why");
    return;
  }
  const webpage::KeyValues values = webpage::ParseKeyValueText(text.c_str());
  FUZZ_CHECK(values.count(L"CMD") && values.at(L"CMD") == order.name, fuzz::Show(text));
  switch (order.kind) {
    case webpage::OrderKind::Navigate:
      FUZZ_CHECK(!order.text.empty(), fuzz::Show(text));
      // A normalised address is normal already.
      FUZZ_CHECK(webpage::NormalizeAddress(order.text) == order.text, fuzz::Show(text));
      break;
    case webpage::OrderKind::MoveWindow:
      FUZZ_CHECK(order.rect.right > order.rect.left && order.rect.bottom > order.rect.top, fuzz::Show(text));
      FUZZ_CHECK(order.rect.left >= -32768 && order.rect.right <= 32767, fuzz::Show(text));
      break;
    case webpage::OrderKind::ParentWindow:
      FUZZ_CHECK(order.handle != 0, fuzz::Show(text));
      break;
    case webpage::OrderKind::Unsupported:
      FUZZ_CHECK(!order.reason.empty(), fuzz::Show(text));
      break;
    default:
      break;
  }
  uint32_t fontSize = 99;
  if (webpage::ParseFontSize(text.c_str(), &fontSize)) {
    FUZZ_CHECK(fontSize <= 4, fuzz::Show(text));
    FUZZ_CHECK(webpage::FontSizePixels(fontSize) > 0, fuzz::Show(text));
  }
}

}  // namespace

FUZZ_TARGET(data, size) {
  if (size == 0) return 0;
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] % 2 == 0) {
    CheckPageMessage(rest);
  } else {
    const std::wstring text = fuzz::Wide(rest);
    CheckOrder(text);
    // Each line's value also as a font size and as an address.
    for (const auto& entry : webpage::ParseKeyValueText(text.c_str())) {
      uint32_t fontSize = 99;
      if (webpage::ParseFontSize(entry.second.c_str(), &fontSize)) FUZZ_CHECK(fontSize <= 4, fuzz::Show(entry.second));
      const std::wstring address = webpage::NormalizeAddress(entry.second);
      FUZZ_CHECK(webpage::NormalizeAddress(address) == address, fuzz::Show(entry.second));
    }
  }
  return 0;
}
