#pragma once
// Reads a list document sent to the user interface back with TinyXML.
#include <tinyxml.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/text.h"

// Each child element as its attributes (name, wide value) in document order; `root`
// gets the root element's name, empty when the text does not parse.
inline std::vector<std::vector<std::pair<std::string, std::wstring>>> ReadListDocument(const std::wstring& text,
                                                                                        std::string* root) {
  std::vector<std::vector<std::pair<std::string, std::wstring>>> elements;
  TiXmlDocument document;
  document.Parse(platform::WideToUtf8(text).c_str(), nullptr, TIXML_ENCODING_UTF8);
  root->clear();
  if (document.Error() || !document.RootElement()) return elements;
  *root = document.RootElement()->Value();
  for (TiXmlElement* e = document.RootElement()->FirstChildElement(); e; e = e->NextSiblingElement()) {
    elements.emplace_back();
    for (TiXmlAttribute* a = e->FirstAttribute(); a; a = a->Next()) {
      elements.back().emplace_back(a->Name(), platform::Utf8ToWide(a->Value()));
    }
  }
  return elements;
}
