#pragma once
// The store's XML result documents: built with TinyXML from UTF-8 values, printed in
// compact form (no declaration, no indentation, no line breaks) and handed out as wide
// text. TinyXML escapes quotes, ampersands and angle brackets, and writes control
// characters such as line feeds as character references, so every value reads back
// exactly.
#include <tinyxml.h>

#include <cstdint>
#include <string>

namespace datastore {

class CXmlOut {
 public:
  explicit CXmlOut(const char* rootName);
  TiXmlElement* Root() { return m_root; }
  // Appends a new element to parent and returns it.
  static TiXmlElement* Add(TiXmlElement* parent, const char* name);
  static void Set(TiXmlElement* element, const char* name, const std::string& value);
  static void Set(TiXmlElement* element, const char* name, int64_t value);
  std::wstring Print() const;

 private:
  TiXmlDocument m_doc;
  TiXmlElement* m_root;
};

}  // namespace datastore
