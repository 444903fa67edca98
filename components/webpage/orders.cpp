#include "components/webpage/orders.h"

#include <cwchar>
#include <cwctype>

#include "components/webpage/keyvaluetext.h"
#include "platform/text.h"

namespace webpage {
namespace {

struct NamedOrder {
  const wchar_t* name;
  OrderKind kind;
  const char* reason;  // for the orders this engine cannot carry out
};

const NamedOrder kOrders[] = {
    {L"NAVIGATE", OrderKind::Navigate, nullptr},
    {L"GOBACK", OrderKind::GoBack, nullptr},
    {L"GOFORWORD", OrderKind::GoForward, nullptr},
    {L"STOP", OrderKind::Stop, nullptr},
    {L"REFRESH", OrderKind::Refresh, nullptr},
    {L"GOHOME", OrderKind::GoHome, nullptr},
    {L"SAVEHTML", OrderKind::SaveHtml, nullptr},
    {L"SAVEIMGE", OrderKind::SaveImage, nullptr},
    {L"PRINT", OrderKind::Print, nullptr},
    {L"PRINTPREVIEW", OrderKind::PrintPreview, nullptr},
    {L"VIEWSOURCE", OrderKind::ViewSource, nullptr},
    {L"FIND", OrderKind::Find, nullptr},
    {L"MOVEWEBWINDOW", OrderKind::MoveWindow, nullptr},
    {L"WEBAUDIO", OrderKind::Audio, nullptr},
    {L"RECOVERWND", OrderKind::Recover, nullptr},
    {L"ClOSETAB", OrderKind::CloseTab, nullptr},
    {L"PARENTHWND", OrderKind::ParentWindow, nullptr},
    {L"GETTEXT", OrderKind::GetText, nullptr},
    {L"SHOWHINTS", OrderKind::ShowHints, nullptr},
    {L"HINTKEY", OrderKind::HintKey, nullptr},
    {L"HIDEHINTS", OrderKind::HideHints, nullptr},
    {L"STOPPAGE", OrderKind::StopPage, nullptr},
    {L"FILEOPEN", OrderKind::Unsupported,
     "the engine has no file dialog; open a file with NAVIGATE and a file:// address"},
    {L"PAGESETUP", OrderKind::Unsupported,
     "the engine has no page setup dialog; PRINT writes a PDF with default settings"},
    {L"PROPERTIES", OrderKind::Unsupported, "the engine has no page properties dialog"},
    {L"internetOpation", OrderKind::Unsupported, "the engine has no Internet options dialog"},
    {L"SHOWCONTEXTMENU", OrderKind::Unsupported, "the engine shows no context menu"},
    {L"SENDLINKBYEMAIL", OrderKind::Unsupported, "no mail program is connected to the engine"},
    {L"FILESENDPAGEBYEMAIL", OrderKind::Unsupported, "no mail program is connected to the engine"},
};

int16_t High16(uint32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v >> 16)); }
int16_t Low16(uint32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v & 0xffff)); }

bool Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
  return false;
}

}  // namespace

RECT DecodeWindowRect(uint32_t wparam, uint32_t lparam) {
  RECT rc;
  rc.left = High16(wparam);
  rc.top = Low16(wparam);
  rc.right = High16(lparam);
  rc.bottom = Low16(lparam);
  return rc;
}

bool ParseOrder(const wchar_t* text, Order* order, std::string* error) {
  if (!text) return Fail(error, "null order text");
  KeyValues values = ParseKeyValueText(text);
  auto cmd = values.find(L"CMD");
  if (cmd == values.end() || cmd->second.empty()) return Fail(error, "order without CMD");
  const NamedOrder* named = nullptr;
  for (const NamedOrder& candidate : kOrders) {
    if (cmd->second == candidate.name) named = &candidate;
  }
  if (!named) return Fail(error, "unknown order \"" + platform::WideToUtf8(cmd->second) + "\"");

  Order result;
  result.kind = named->kind;
  result.name = cmd->second;
  if (named->reason) result.reason = named->reason;
  switch (result.kind) {
    case OrderKind::Navigate:
      result.text = NormalizeAddress(values[L"URL"]);
      if (result.text.empty()) return Fail(error, "NAVIGATE without URL");
      break;
    case OrderKind::Find:
      result.text = values[L"TEXT"];
      break;
    case OrderKind::GetText:
      result.text = values[L"PART"];
      if (!result.text.empty() && result.text != L"SOURCE") return Fail(error, "GETTEXT with an unknown PART");
      break;
    case OrderKind::ShowHints: {
      const std::wstring& background = values[L"NEW"];
      if (!background.empty() && background != L"TRUE" && background != L"FALSE")
        return Fail(error, "SHOWHINTS with NEW other than TRUE or FALSE");
      result.enable = background == L"TRUE";
      result.text = values[L"KEY"];
      if (result.text.size() > 1) return Fail(error, "SHOWHINTS with a KEY of more than one character");
      break;
    }
    case OrderKind::HintKey:
      result.text = values[L"KEY"];
      if (result.text.size() != 1) return Fail(error, "HINTKEY needs KEY=<one character>");
      break;
    case OrderKind::Recover:
      result.text = values[L"uuid"];
      if (result.text.empty()) return Fail(error, "RECOVERWND without uuid");
      break;
    case OrderKind::MoveWindow: {
      uint32_t wparam = 0, lparam = 0;
      if (!ParseHex32(values[L"WPARAM"], &wparam) || !ParseHex32(values[L"LPARAM"], &lparam))
        return Fail(error, "MOVEWEBWINDOW needs hexadecimal WPARAM and LPARAM");
      result.rect = DecodeWindowRect(wparam, lparam);
      if (result.rect.right <= result.rect.left || result.rect.bottom <= result.rect.top)
        return Fail(error, "MOVEWEBWINDOW with an empty rectangle");
      break;
    }
    case OrderKind::Audio: {
      const std::wstring& state = values[L"STATE"];
      if (state != L"0" && state != L"1") return Fail(error, "WEBAUDIO needs STATE=1 or STATE=0");
      result.enable = state == L"1";
      break;
    }
    case OrderKind::ParentWindow:
      if (!ParseHex32(values[L"HWND"], &result.handle) || result.handle == 0)
        return Fail(error, "PARENTHWND needs a non-zero hexadecimal HWND");
      break;
    default:
      break;
  }
  *order = std::move(result);
  return true;
}

std::wstring NormalizeAddress(const std::wstring& address) {
  size_t first = 0, last = address.size();
  while (first < last && std::iswspace(address[first])) ++first;
  while (last > first && std::iswspace(address[last - 1])) --last;
  std::wstring url = address.substr(first, last - first);
  if (url.empty() || url.find(L"://") != std::wstring::npos) return url;
  static const wchar_t* const kSchemesWithoutSlashes[] = {
      L"about:", L"data:", L"javascript:", L"view-source:", L"mailto:", L"blob:", L"chrome:", L"file:"};
  std::wstring lower = platform::AsciiLower(url);
  for (const wchar_t* scheme : kSchemesWithoutSlashes) {
    if (lower.compare(0, std::wcslen(scheme), scheme) == 0) return url;
  }
  return L"http://" + url;
}

bool ParseFontSize(const wchar_t* text, uint32_t* size) {
  uint32_t value = 0;
  if (!text || !ParseDecimal32(text, &value) || value > 4) return false;
  *size = value;
  return true;
}

int FontSizePixels(uint32_t size) {
  // Chromium's own settings: very small, small, medium, large, very large.
  static const int kPixels[] = {9, 12, 16, 20, 24};
  return kPixels[size > 4 ? 2 : size];
}

}  // namespace webpage
