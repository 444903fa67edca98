// Writing then reading gives back what was written, for the texts that travel between
// the parts: key=value texts (written by the library or the page engine, read by the
// event reader, the engine and the data store), travel logs (written by the engine, read
// by the library) and list documents (written by the library, read as XML). Every reader
// also gets the raw input, where only a crash counts.
//
// Input: entries separated by NUL bytes, each "first<TAB>second" (wide text, see
// fuzzinput.h). The first byte of the input picks the current entry of the travel log.
#include <tinyxml.h>

#include <map>
#include <string>
#include <vector>

#include "components/datastore/params.h"
#include "components/webpage/keyvaluetext.h"
#include "components/webpage/travellog.h"
#include "fuzz/fuzzinput.h"
#include "tests/uicontrol/eventtext_oracle.h"
#include "uicontrol/keyvaluetext.h"
#include "uicontrol/travellog.h"
#include "uicontrol/xmldocument.h"

namespace {

using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;

bool IsKey(const std::wstring& key) {
  return !key.empty() && key.find_first_of(std::wstring(L"=\n\r\0", 4)) == std::wstring::npos;
}

void KeyValueRoundTrip(const Pairs& pairs) {
  std::map<std::wstring, std::wstring> entries;
  for (const auto& pair : pairs) {
    // Keys and values both writers keep as they are: no '=' in keys, no line feed, carriage
    // return or NUL anywhere (the engine's writer turns those into spaces).
    if (!IsKey(pair.first) || !keyvalue::IsSingleLine(pair.second) || pair.second.find(L'\r') != std::wstring::npos) {
      continue;
    }
    entries[pair.first] = pair.second;
  }
  const std::wstring library = FormatKeyValueText(entries);
  FUZZ_CHECK(ParseEventText(library.c_str()) == entries, fuzz::Show(library));
  for (const auto& entry : entries) {
    FUZZ_CHECK(ReadEventText(library.c_str(), entry.first.c_str()) == entry.second, fuzz::Show(library));
  }
  const std::wstring engine = webpage::WriteKeyValueText(entries);
  FUZZ_CHECK(engine == library, fuzz::Show(engine));
  FUZZ_CHECK(webpage::ParseKeyValueText(engine.c_str()) == entries, fuzz::Show(engine));

  // The store reads UTF-8; texts it carries unchanged must come back byte for byte.
  std::map<std::string, std::string> utf8;
  bool plain = true;
  for (const auto& entry : entries) {
    plain = plain && fuzz::IsPlainUnicode(entry.first) && fuzz::IsPlainUnicode(entry.second);
    utf8[platform::WideToUtf8(entry.first)] = platform::WideToUtf8(entry.second);
  }
  if (plain) {
    const datastore::CParams params = datastore::ParseParams(library.c_str());
    FUZZ_CHECK(params.values == utf8 && params.problems.empty(), fuzz::Show(library));
  }
}

std::wstring Clean(const std::wstring& text) {
  std::wstring out = text;
  for (wchar_t& c : out) {
    if (c >= 0 && c < 0x20) c = L' ';
  }
  return out;
}

void TravelLogRoundTrip(const Pairs& pairs, int current) {
  webpage::NavigationHistory history;
  for (const auto& pair : pairs) history.entries.push_back({pair.first, pair.second, 0});
  history.current = pairs.empty() ? -1 : current % static_cast<int>(pairs.size());
  const std::wstring back = webpage::BuildBackTravelLog(history);
  const std::wstring fore = webpage::BuildForeTravelLog(history);
  for (int direction = 0; direction < 2; ++direction) {
    const std::wstring& log = direction == 0 ? back : fore;
    const TravelLogMap read = ParseTravelLog(log);
    const int count = history.current < 0 ? 0
                      : direction == 0    ? history.current
                                          : static_cast<int>(pairs.size()) - history.current - 1;
    FUZZ_CHECK(static_cast<int>(read.size()) == count, fuzz::Show(log));
    for (int index = 0; index < count; ++index) {
      const auto& source = pairs[direction == 0 ? history.current - 1 - index : history.current + 1 + index];
      const auto it = read.find(std::to_wstring(index));
      FUZZ_CHECK(it != read.end(), fuzz::Show(log));
      const TravelLogEntry entry = SplitTravelLogValue(it->second);
      const std::wstring url = Clean(source.first);
      std::wstring title = Clean(source.second.empty() ? source.first : source.second);
      if (title.empty()) title = url;
      FUZZ_CHECK(entry.strURL == url && entry.strTitle == title, fuzz::Show(log));
    }
  }
}

void XmlRoundTrip(const Pairs& pairs) {
  static const char* const kNames[] = {"id", "title", "url", "icon", "date"};
  CXmlListDocument document("List");
  std::vector<std::vector<std::wstring>> expected;
  for (size_t i = 0; i < pairs.size(); ++i) {
    // Texts that UTF-8 carries; NUL ends a text where it is handed on as a C string.
    if (!fuzz::IsPlainUnicode(pairs[i].first) || !fuzz::IsPlainUnicode(pairs[i].second)) continue;
    CXmlListDocument::Attributes attributes = {{kNames[i % 5], pairs[i].first}, {kNames[(i + 1) % 5], pairs[i].second}};
    document.AddElement(attributes);
    expected.push_back({pairs[i].first, pairs[i].second});
  }
  const std::wstring printed = document.Print();
  TiXmlDocument read;
  read.Parse(platform::WideToUtf8(printed).c_str(), nullptr, TIXML_ENCODING_UTF8);
  FUZZ_CHECK(!read.Error() && read.RootElement(), fuzz::Show(printed));
  size_t i = 0;
  for (TiXmlElement* e = read.RootElement()->FirstChildElement(); e; e = e->NextSiblingElement(), ++i) {
    FUZZ_CHECK(i < expected.size(), fuzz::Show(printed));
    const TiXmlAttribute* first = e->FirstAttribute();
    FUZZ_CHECK(first && first->Next() && !first->Next()->Next(), fuzz::Show(printed));
    FUZZ_CHECK(platform::Utf8ToWide(first->Value()) == expected[i][0], fuzz::Show(printed));
    FUZZ_CHECK(platform::Utf8ToWide(first->Next()->Value()) == expected[i][1], fuzz::Show(printed));
  }
  FUZZ_CHECK(i == expected.size(), fuzz::Show(printed));
}

// The readers on the raw text: no crash, and the two key=value readers of the engine and
// the store agree on which names a text holds (where they share the rules).
void ReadRaw(const std::wstring& text) {
  ParseEventText(text.c_str());
  ParseTravelLog(text);
  SplitTravelLogValue(text);
  const webpage::KeyValues engine = webpage::ParseKeyValueText(text.c_str());
  const datastore::CParams store = datastore::ParseParams(text.c_str());
  if (fuzz::IsPlainUnicode(text)) FUZZ_CHECK(engine.size() == store.values.size(), fuzz::Show(text));
  TiXmlDocument document;
  document.Parse(platform::WideToUtf8(text).c_str(), nullptr, TIXML_ENCODING_UTF8);
}

}  // namespace

FUZZ_TARGET(data, size) {
  const std::vector<std::string> parts = fuzz::Split(data, size, '\0');
  Pairs pairs;
  for (const std::string& part : parts) {
    std::string first, second;
    fuzz::SplitOnce(part, '\t', &first, &second);
    pairs.emplace_back(fuzz::Wide(first), fuzz::Wide(second));
  }
  if (pairs.size() > 64) pairs.resize(64);
  KeyValueRoundTrip(pairs);
  TravelLogRoundTrip(pairs, size > 0 ? data[0] : 0);
  XmlRoundTrip(pairs);
  ReadRaw(fuzz::Wide(std::string(reinterpret_cast<const char*>(data), size)));
  return 0;
}
