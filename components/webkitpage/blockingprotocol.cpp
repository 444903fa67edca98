#include "components/webkitpage/blockingprotocol.h"

#include <map>

namespace webkitpage {
namespace blocking {

namespace {

const char kSettingsType[] = "(basasas)";

GVariant* Strings(const std::vector<std::string>& texts) {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE_STRING_ARRAY);
  for (const std::string& text : texts) g_variant_builder_add(&builder, "s", text.c_str());
  return g_variant_builder_end(&builder);
}

std::vector<std::string> Texts(GVariant* array) {
  std::vector<std::string> texts;
  gsize count = 0;
  const gchar** items = g_variant_get_strv(array, &count);
  for (gsize i = 0; i < count; ++i) texts.emplace_back(items[i]);
  g_free(items);
  return texts;
}

}  // namespace

GVariant* WriteSettings(const Settings& settings) {
  return g_variant_new("(b@as@as@as)", settings.ready, Strings(settings.files), Strings(settings.trustedOrigins),
                       Strings(settings.sitesOff));
}

bool ReadSettings(GVariant* value, Settings* settings) {
  if (!value || !g_variant_is_of_type(value, G_VARIANT_TYPE(kSettingsType))) return false;
  gboolean ready = FALSE;
  GVariant *files = nullptr, *origins = nullptr, *sites = nullptr;
  g_variant_get(value, "(b@as@as@as)", &ready, &files, &origins, &sites);
  settings->ready = ready;
  settings->files = Texts(files);
  settings->trustedOrigins = Texts(origins);
  settings->sitesOff = Texts(sites);
  g_variant_unref(files);
  g_variant_unref(origins);
  g_variant_unref(sites);
  return true;
}

contentfilter::ResourceType ResourceTypeOf(const std::string& fetchDest, const std::string& accept, bool mainResource) {
  using contentfilter::ResourceType;
  if (mainResource) return ResourceType::Document;
  static const std::map<std::string, ResourceType> kDestinations = {
      {"document", ResourceType::Subdocument}, {"iframe", ResourceType::Subdocument}, {"frame", ResourceType::Subdocument},
      {"script", ResourceType::Script},        {"worker", ResourceType::Script},      {"sharedworker", ResourceType::Script},
      {"serviceworker", ResourceType::Script}, {"image", ResourceType::Image},        {"style", ResourceType::Stylesheet},
      {"font", ResourceType::Font},            {"audio", ResourceType::Media},        {"video", ResourceType::Media},
      {"track", ResourceType::Media},          {"object", ResourceType::Object},      {"embed", ResourceType::Object},
      {"empty", ResourceType::XmlHttpRequest}, {"report", ResourceType::Ping},
  };
  if (!fetchDest.empty()) {
    auto it = kDestinations.find(fetchDest);
    return it == kDestinations.end() ? ResourceType::Other : it->second;
  }
  // WebKit's Accept header per kind of load, for requests without Sec-Fetch-Dest.
  if (accept.rfind("text/html", 0) == 0) return ResourceType::Subdocument;
  if (accept.rfind("image/", 0) == 0) return ResourceType::Image;
  if (accept.rfind("text/css", 0) == 0) return ResourceType::Stylesheet;
  return ResourceType::Other;
}

}  // namespace blocking
}  // namespace webkitpage
