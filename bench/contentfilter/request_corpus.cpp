#include "bench/contentfilter/request_corpus.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace contentfilter_bench {

using contentfilter::ResourceType;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool IsAddressChar(char c) {
  return static_cast<unsigned char>(c) > 0x20 && c != '"' && c != '\'' && c != '<' && c != '>' && c != '`' &&
         static_cast<unsigned char>(c) < 0x7f;
}

void CollectAddresses(const std::string& text, std::set<std::string>& out) {
  for (size_t at = text.find("http"); at != std::string::npos; at = text.find("http", at + 4)) {
    const size_t scheme = text.compare(at, 8, "https://") == 0 ? 8 : text.compare(at, 7, "http://") == 0 ? 7 : 0;
    if (!scheme) continue;
    size_t end = at + scheme;
    while (end < text.size() && IsAddressChar(text[end])) ++end;
    if (end > at + scheme + 3 && end - at < 1024) out.insert(text.substr(at, end - at));
  }
}

ResourceType TypeFor(const std::string& url, size_t n) {
  auto has = [&](const char* ext) { return url.find(ext) != std::string::npos; };
  if (has(".js")) return ResourceType::Script;
  if (has(".png") || has(".gif") || has(".jpg") || has(".svg")) return ResourceType::Image;
  if (has(".css")) return ResourceType::Stylesheet;
  static const ResourceType kOthers[] = {ResourceType::XmlHttpRequest, ResourceType::Subdocument,
                                         ResourceType::Image, ResourceType::Script, ResourceType::Document,
                                         ResourceType::Other, ResourceType::Ping};
  return kOthers[n % (sizeof(kOthers) / sizeof(kOthers[0]))];
}

// A page of the first domain a rule's "domain=" names, else empty.
std::string DocumentFromRule(const std::string& line) {
  const size_t at = line.find("domain=", line.rfind('$') == std::string::npos ? line.size() : line.rfind('$'));
  if (at == std::string::npos) return {};
  size_t begin = at + 7;
  while (begin < line.size()) {
    const size_t end = std::min(line.find('|', begin), line.find(',', begin));
    const std::string domain = line.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    if (!domain.empty() && domain[0] != '~') return "https://www." + domain + "/";
    if (end == std::string::npos || line[end] == ',') break;
    begin = end + 1;
  }
  return {};
}

// An address the rule's pattern matches: wildcards and separators filled in, an "||"
// host given a scheme, an open start given a host.
std::string AddressFromRule(std::string line, size_t n) {
  if (line.compare(0, 2, "@@") == 0) line.erase(0, 2);
  const size_t dollar = line.rfind('$');
  if (dollar != std::string::npos) line.erase(dollar);
  if (line.empty() || (line[0] == '/' && line.size() > 1 && line.back() == '/')) return {};
  std::string url;
  if (line.compare(0, 2, "||") == 0) {
    url = (n % 3 ? "https://" : "https://cdn.") + line.substr(2);
  } else if (line[0] == '|') {
    url = line.substr(1);
  } else {
    url = "https://site" + std::to_string(n % 50) + ".example.com/" + line;
  }
  if (!url.empty() && url.back() == '|') url.pop_back();
  for (char& c : url) {
    if (c == '*') c = '7';
    if (c == '^') c = '/';
  }
  if (url.find("://") == std::string::npos) return {};
  return url + (n % 2 ? "?q=1" : "");
}

}  // namespace

std::vector<CorpusRequest> BuildRequestCorpus(const std::vector<std::string>& listPaths, size_t ruleAddresses) {
  std::set<std::string> documented;
  std::vector<std::string> pages;
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator("/usr/share/doc", error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    const auto ext = it->path().extension();
    if ((ext == ".html" || ext == ".htm") && it->is_regular_file(error)) pages.push_back(it->path().string());
  }
  std::sort(pages.begin(), pages.end());
  for (const auto& page : pages) CollectAddresses(ReadFile(page), documented);

  const std::vector<std::string> documents = {"https://www.example.org/news/today.html", "https://blog.example.net/",
                                              "https://www.debian.org/doc/", "https://shop.example.com/cart"};
  std::vector<CorpusRequest> out;
  size_t n = 0;
  for (const auto& url : documented) {
    out.push_back({url, documents[n % documents.size()], TypeFor(url, n)});
    ++n;
  }
  // Rule addresses: every k-th network rule of the lists, spread over them.
  std::vector<std::string> rules;
  for (const auto& path : listPaths) {
    std::istringstream lines(ReadFile(path));
    std::string line;
    while (std::getline(lines, line)) {
      if (line.empty() || line[0] == '!' || line[0] == '[' || line.find('#') != std::string::npos) continue;
      rules.push_back(line);
    }
  }
  const size_t step = rules.empty() ? 1 : std::max<size_t>(1, rules.size() / std::max<size_t>(1, ruleAddresses));
  for (size_t i = 0; i < rules.size() && out.size() < documented.size() + ruleAddresses; i += step) {
    std::string url = AddressFromRule(rules[i], n);
    if (url.empty()) continue;
    std::string document = DocumentFromRule(rules[i]);
    if (document.empty()) document = documents[n % documents.size()];
    out.push_back({url, document, TypeFor(url, n)});
    ++n;
  }
  return out;
}

}  // namespace contentfilter_bench
