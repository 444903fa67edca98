#pragma once
// The list documents sent to the user interface: a root element holding one "Element"
// per entry, attributes in the order given. Built with TinyXML from wide texts (UTF-8
// inside) and printed compactly: no declaration, no indentation, no line breaks.
#include <memory>
#include <string>
#include <utility>
#include <vector>

class TiXmlDocument;
class TiXmlElement;

class CXmlListDocument {
 public:
  explicit CXmlListDocument(const char* rootName);
  ~CXmlListDocument();
  CXmlListDocument(const CXmlListDocument&) = delete;
  CXmlListDocument& operator=(const CXmlListDocument&) = delete;

  using Attributes = std::vector<std::pair<const char*, std::wstring>>;
  // Appends one "Element" child with the attributes set in order.
  void AddElement(const Attributes& attributes);
  // The printed document as wide text.
  std::wstring Print() const;

 private:
  std::unique_ptr<TiXmlDocument> m_document;
  TiXmlElement* m_root;  // owned by m_document
};
