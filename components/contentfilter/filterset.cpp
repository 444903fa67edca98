// The public face: building a set from lists, and the decisions on requests and pages.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "components/contentfilter/filterset_data.h"

namespace contentfilter {

namespace {

using FindFn = const NetworkRule* (RuleSet::*)(const Request&) const;

bool IsTrusted(const FilterSetData& data, std::string_view url) {
  if (data.trustedOrigins.empty()) return false;
  AddressParts parts;
  if (!SplitAddress(url, parts, true)) return false;
  return std::find(data.trustedOrigins.begin(), data.trustedOrigins.end(), parts.origin) != data.trustedOrigins.end();
}

// An exception for the document itself ("@@...$document", or the element hiding ones)
// that covers everything on it.
const NetworkRule* DocumentException(const FilterSetData& data, std::string_view documentUrl, uint32_t bits,
                                     FindFn find) {
  if (documentUrl.empty() || data.pageExceptions.size() == 0) return nullptr;
  const Request document(documentUrl, documentUrl, bits);
  return (data.pageExceptions.*find)(document);
}

MatchResult Decide(const FilterSetData& data, const std::string& url, const std::string& documentUrl,
                   ResourceType type, FindFn find) {
  MatchResult result;
  const Request request(url, documentUrl, TypeBit(type));
  const NetworkRule* block = (data.blocking.*find)(request);
  if (!block) return result;
  const NetworkRule* allow = (data.exceptions.*find)(request);
  if (!allow) allow = DocumentException(data, documentUrl, TypeBit(ResourceType::Document), find);
  if (allow) {
    result.verdict = Verdict::AllowedByException;
    result.rule = allow->text;
  } else {
    result.verdict = IsTrusted(data, url) ? Verdict::Trusted : Verdict::Blocked;
    result.rule = block->text;
  }
  return result;
}

}  // namespace

std::string StyleSheetOf(const std::vector<std::string>& selectors) {
  std::string sheet;
  for (const std::string& selector : selectors) {
    sheet += selector;
    sheet += " { display: none !important; }\n";
  }
  return sheet;
}

FilterSet::FilterSet(std::unique_ptr<FilterSetData> data) : m_data(std::move(data)) {}
FilterSet::~FilterSet() = default;

MatchResult FilterSet::Match(const std::string& url, const std::string& documentUrl, ResourceType type) const {
  return Decide(*m_data, url, documentUrl, type, &RuleSet::FindFirst);
}

MatchResult FilterSet::MatchByScan(const std::string& url, const std::string& documentUrl, ResourceType type) const {
  return Decide(*m_data, url, documentUrl, type, &RuleSet::FindFirstByScan);
}

std::vector<std::string> FilterSet::HiddenSelectors(const std::string& pageUrl) const {
  AddressParts parts;
  if (!SplitAddress(pageUrl, parts) || IsTrusted(*m_data, pageUrl)) return {};
  const uint32_t all = TypeBit(ResourceType::Document) | kElemHideBit;
  if (DocumentException(*m_data, pageUrl, all, &RuleSet::FindFirst)) return {};
  const bool generic = !DocumentException(*m_data, pageUrl, kGenericHideBit, &RuleSet::FindFirst);
  return m_data->hiding.Selectors(parts.host, generic);
}

std::string FilterSet::HidingStyleSheet(const std::string& pageUrl) const {
  return StyleSheetOf(HiddenSelectors(pageUrl));
}

FilterSet::PageHiding FilterSet::HidingFor(const std::string& pageUrl) const {
  PageHiding hiding;
  AddressParts parts;
  if (!SplitAddress(pageUrl, parts) || IsTrusted(*m_data, pageUrl)) return hiding;
  const uint32_t all = TypeBit(ResourceType::Document) | kElemHideBit;
  if (DocumentException(*m_data, pageUrl, all, &RuleSet::FindFirst)) return hiding;
  const bool generic = !DocumentException(*m_data, pageUrl, kGenericHideBit, &RuleSet::FindFirst);
  if (generic && m_data->hiding.HostHasExceptions(parts.host)) {
    hiding.own = StyleSheetOf(m_data->hiding.Selectors(parts.host, true));
    return hiding;
  }
  // All but the plain generic selectors; one that is also generic appears twice, which is
  // harmless.
  hiding.withGeneric = generic;
  hiding.own = StyleSheetOf(m_data->hiding.Selectors(parts.host, generic, false));
  return hiding;
}

const std::string& FilterSet::GenericHidingStyleSheet() const { return m_data->genericSheet; }

const LoadStats& FilterSet::Stats() const { return m_data->stats; }

size_t FilterSet::NetworkRuleCount() const { return m_data->blocking.size() + m_data->exceptions.size(); }

size_t FilterSet::MemoryBytes() const {
  return sizeof(FilterSetData) + m_data->blocking.MemoryBytes() + m_data->exceptions.MemoryBytes() +
         m_data->pageExceptions.MemoryBytes() + m_data->hiding.MemoryBytes();
}

FilterSetBuilder::FilterSetBuilder() : m_data(std::make_unique<FilterSetData>()) {}
FilterSetBuilder::~FilterSetBuilder() = default;

void FilterSetBuilder::AddListText(const std::string& text, const std::string& listName) {
  m_data->AddListText(text, listName);
}

bool FilterSetBuilder::AddListFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  if (!in || in.bad()) {
    m_data->stats.unreadFiles.push_back(path);
    return false;
  }
  m_data->stats.files.push_back(path);
  m_data->AddListText(text.str(), std::filesystem::path(path).filename().string());
  return true;
}

size_t FilterSetBuilder::AddListFolder(const std::string& folder) {
  std::vector<std::string> paths;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".txt" && entry.is_regular_file(error)) paths.push_back(entry.path().string());
  }
  std::sort(paths.begin(), paths.end());
  size_t read = 0;
  for (const auto& path : paths) read += AddListFile(path) ? 1 : 0;
  return read;
}

void FilterSetBuilder::AddTrustedOrigin(const std::string& origin) {
  AddressParts parts;
  if (SplitAddress(origin, parts, true)) m_data->trustedOrigins.push_back(parts.origin);
}

std::shared_ptr<const FilterSet> FilterSetBuilder::Build() {
  m_data->Index();
  auto set = std::make_shared<const FilterSet>(std::move(m_data));
  m_data = std::make_unique<FilterSetData>();
  return set;
}

std::vector<std::string> InstalledEasyLists() {
  static const char* const kFolder =
      "/usr/share/mozilla/extensions/{ec8030f7-c20a-464f-9b0e-13a3a9e97384}/uBlock0@raymondhill.net/assets/"
      "thirdparties/easylist/";
  std::vector<std::string> found;
  for (const char* name : {"easylist.txt", "easyprivacy.txt"}) {
    std::error_code error;
    const std::string path = std::string(kFolder) + name;
    if (std::filesystem::is_regular_file(path, error)) found.push_back(path);
  }
  return found;
}

}  // namespace contentfilter
