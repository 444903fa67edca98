#pragma once
// What a page may ask of the browser, decided in one place for every engine. A page's
// requests come from the engine's own script in the page (or, for window.close(), from
// the engine): its title, icon and status text, a window it was refused, closing its tab,
// and the favourite dialogs of the browser's own pages.
#include <string>

#include "components/webpage/pagescript.h"

namespace pagecore {

using RequestType = webpage::PageMessage::Type;

struct RequestSource {
  // The top-level document of the page (not a frame in it).
  bool topDocument = false;
  // The document's origin is one of the host's own (trusted) origins.
  bool trustedOrigin = false;
  // The tab is a window that another page opened.
  bool openedByPage = false;
  // The document's origin, for the log ("" when unknown).
  std::string origin;
};

enum class Verdict {
  Obey,
  FromFrame,      // only the top-level document speaks for the page
  Untrusted,      // only the host's own pages may ask this
  NotClosable,    // the user's own tab: only the host's pages or an opened window may close
};

// Whether a page's request is carried out. A window that a frame was refused is reported
// from any document; everything else only from the top-level one. As browsers do, a
// window that a page opened may close itself; so may the host's own pages. The
// favourite dialogs are for the host's own pages only.
Verdict Judge(RequestType type, const RequestSource& source);

// The log line's reason for a request that is not carried out.
std::string RefusalText(RequestType type, const RequestSource& source, Verdict verdict);

}  // namespace pagecore
