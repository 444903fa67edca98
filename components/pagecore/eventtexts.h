#pragma once
// The events an engine reports that the navigation report does not make, written here
// once: an engine says what happened, in its own terms, and never spells an event's text.
#include <cstdint>
#include <string>

#include "components/pagecore/trust.h"
#include "components/webpage/keyvaluetext.h"
#include "components/webpage/pagescript.h"
#include "platform/windef.h"

namespace pagecore {

class CPageReport;
class IPageActions;

// The page's view exists and is shown ("CHLIDHANDLE", "SHOWIEWND").
void AnnounceView(IPageActions& page, HWND view);
// The page asks to be closed, or was closed by its engine ("CLOSEWNDNOTIFTY").
void ReportCloseAsked(IPageActions& page, const std::wstring& url);
// Its renderer or engine died, or it could not be made ("PROCESSCRASH").
void ReportCrash(IPageActions& page, const std::string& status);
// A window waits for the host to adopt it ("NEWINDOW"); `background` asks for a tab
// behind this one.
void ReportNewWindow(IPageActions& page, const std::wstring& url, bool background = false);
// The answer of a find ("FINDRESULT").
void ReportFound(IPageActions& page, uint64_t count, bool found, const std::wstring& text);
// The page's text ("PAGETEXT"), or why it could not be read (logged too).
void ReportPageText(IPageActions& page, const webpage::KeyValues& values);
void ReportPageTextError(IPageActions& page, const std::string& why);
// Sound began or ended ("AUDIOSTATECHANGE").
void ReportAudio(IPageActions& page, bool playing);
// "VIEWSOURCE" of a page that shows no document with a source.
void ReportNoSource(IPageActions& page);

// Judges a request of the page by the trust policy; a refusal is logged through the
// page's report (repeated ones counted). True when it is to be obeyed.
bool ObeyRequest(RequestType type, const RequestSource& source, CPageReport& report, const std::string& pageName);
// An obeyed request for a favourite dialog ("SHOWADDFAVWND", "SHOWEDITFAVWND"); false for
// any other kind of request, which the engine answers itself.
bool ShowFavouriteDialog(const webpage::PageMessage& message, IPageActions& page);

}  // namespace pagecore
