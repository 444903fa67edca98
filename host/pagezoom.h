#pragma once
// The shell's page zoom follows the store's "page.size" setting: read at start, and
// applied again whenever the store reports a change (the library passes that on to the
// tab callback with tab ID 0).
#include <string>

#include "uicontrol/interfaces/dataaccessor.h"
#include "uicontrol/interfaces/webpage.h"

// The percent of a zoom text as the store holds it: up to four decimal digits; anything
// else is 0, which every engine refuses.
unsigned int ZoomPercentFromText(const std::wstring& text);
// Gives the page engine the zoom stored now; nothing when none is stored.
void ApplyStoredZoom(IDataAccessor* store, IWebPageManager* pages);
// Gives the page engine a zoom in decimal text as the store notifies it. A text that is
// no number in the engine's range is refused there, with a log entry.
void ApplyZoomText(IWebPageManager* pages, const std::wstring& text);
