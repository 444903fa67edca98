// The events' texts of what an engine reports outside the navigation report.
#include "components/pagecore/eventtexts.h"

#include "components/pagecore/pageactions.h"
#include "components/pagecore/pagereport.h"
#include "components/webpage/weblog.h"
#include "platform/text.h"
#include "platform/window.h"

namespace pagecore {

using webpage::Hex;

void AnnounceView(IPageActions& page, HWND view) {
  page.Emit(L"CHLIDHANDLE", {{L"HWND", Hex(HandleValue(view))}});
  page.Emit(L"SHOWIEWND", {{L"ISWNDSHOW", L"1"}});
}

void ReportCloseAsked(IPageActions& page, const std::wstring& url) { page.Emit(L"CLOSEWNDNOTIFTY", {{L"URL", url}}); }

void ReportCrash(IPageActions& page, const std::string& status) {
  page.Emit(L"PROCESSCRASH", {{L"STATUS", platform::Utf8ToWide(status)}});
}

void ReportNewWindow(IPageActions& page, const std::wstring& url, bool background) {
  webpage::KeyValues values{{L"URL", url}};
  if (background) values[L"BACKGROUND"] = L"TRUE";
  page.Emit(L"NEWINDOW", values);
}

void ReportFound(IPageActions& page, uint64_t count, bool found, const std::wstring& text) {
  page.Emit(L"FINDRESULT", {{L"COUNT", Hex(count)}, {L"FOUND", found ? L"TRUE" : L"FALSE"}, {L"TEXT", text}});
}

void ReportPageText(IPageActions& page, const webpage::KeyValues& values) { page.Emit(L"PAGETEXT", values); }

void ReportPageTextError(IPageActions& page, const std::string& why) {
  webpage::LogWarning(page.Name() + ": GETTEXT failed: " + why);
  page.Emit(L"PAGETEXT", {{L"ERROR", platform::Utf8ToWide(why)}});
}

void ReportAudio(IPageActions& page, bool playing) {
  page.Emit(L"AUDIOSTATECHANGE", {{L"PLAYING", playing ? L"TRUE" : L"FALSE"}});
}

void ReportNoSource(IPageActions& page) {
  ReportUnsupported(page, L"VIEWSOURCE", "the page shows no document with a source");
}

bool ObeyRequest(RequestType type, const RequestSource& source, CPageReport& report, const std::string& pageName) {
  const Verdict verdict = Judge(type, source);
  if (verdict == Verdict::Obey) return true;
  // A window that may not close itself is ordinary; anything else a page was refused is
  // worth a warning.
  report.LogLine("refusal", verdict == Verdict::NotClosable ? webpage::LogLevel::Info : webpage::LogLevel::Warning,
                 pageName + ": " + RefusalText(type, source, verdict));
  return false;
}

bool ShowFavouriteDialog(const webpage::PageMessage& message, IPageActions& page) {
  using Type = webpage::PageMessage::Type;
  if (message.type == Type::AddFavorite) {
    page.Emit(L"SHOWADDFAVWND", {{L"FAVPID", Hex(message.parentId)}});
    return true;
  }
  if (message.type == Type::EditFavorite) {
    page.Emit(L"SHOWEDITFAVWND", {{L"FAVID", Hex(message.id)},
                                  {L"FAVPID", Hex(message.parentId)},
                                  {L"TITLECHANGE", message.text},
                                  {L"URL", message.url}});
    return true;
  }
  return false;
}

}  // namespace pagecore
