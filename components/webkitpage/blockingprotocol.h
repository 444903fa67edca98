#pragma once
// What the page component and its web process extension (extension/) tell each other
// about content blocking, on both sides of the process boundary: the settings (the list
// files, trusted origins and sites switched off, as a GVariant "(basasas)"), the message
// of a blocked request, and the resource type of a request as WebKit sends it.
#include <glib.h>

#include <string>
#include <vector>

#include "components/contentfilter/contentfilter.h"

namespace webkitpage {
namespace blocking {

// From the view to every web process: Settings.
inline constexpr char kSettingsMessage[] = "blocking.settings";
// From a web page to its view: a request was cancelled (its address as a string).
inline constexpr char kBlockedMessage[] = "blocking.blocked";

struct Settings {
  bool ready = false;  // false: no filter set yet (or blocking stopped)
  std::vector<std::string> files;
  std::vector<std::string> trustedOrigins;
  std::vector<std::string> sitesOff;
};

// A new floating GVariant of `settings`.
GVariant* WriteSettings(const Settings& settings);
// False for null or a GVariant of another type.
bool ReadSettings(GVariant* value, Settings* settings);

// The resource type of a request from its Sec-Fetch-Dest header (empty when absent) and,
// without one, its Accept header; `mainResource`: the page's own document.
contentfilter::ResourceType ResourceTypeOf(const std::string& fetchDest, const std::string& accept, bool mainResource);

}  // namespace blocking
}  // namespace webkitpage
