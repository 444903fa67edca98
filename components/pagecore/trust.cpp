#include "components/pagecore/trust.h"

namespace pagecore {
namespace {

std::string Shown(const std::string& origin) { return origin.empty() ? "(unknown origin)" : origin; }

const char* RequestName(RequestType type) {
  switch (type) {
    case RequestType::Title: return "a title";
    case RequestType::Icon: return "an icon";
    case RequestType::Status: return "a status text";
    case RequestType::PopupBlocked: return "a refused window";
    case RequestType::Close: return "window.close()";
    case RequestType::AddFavorite: return "showAddFavorite";
    case RequestType::EditFavorite: return "showEditFavorite";
  }
  return "a request";
}

}  // namespace

Verdict Judge(RequestType type, const RequestSource& source) {
  if (type == RequestType::PopupBlocked) return Verdict::Obey;
  if (!source.topDocument) return Verdict::FromFrame;
  switch (type) {
    case RequestType::Close:
      return source.openedByPage || source.trustedOrigin ? Verdict::Obey : Verdict::NotClosable;
    case RequestType::AddFavorite:
    case RequestType::EditFavorite:
      return source.trustedOrigin ? Verdict::Obey : Verdict::Untrusted;
    default:
      return Verdict::Obey;
  }
}

std::string RefusalText(RequestType type, const RequestSource& source, Verdict verdict) {
  const std::string what = RequestName(type);
  switch (verdict) {
    case Verdict::Obey: return "";
    case Verdict::FromFrame:
      return "dropped " + what + " of a frame (" + Shown(source.origin) + "): only the top-level document is heard";
    case Verdict::Untrusted:
      return what + " dropped: " + Shown(source.origin) + " is not a trusted origin";
    case Verdict::NotClosable:
      return "window.close() ignored: the tab was not opened by a script and " + Shown(source.origin) +
             " is not a trusted origin";
  }
  return "";
}

}  // namespace pagecore
