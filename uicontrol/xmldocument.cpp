#include "uicontrol/xmldocument.h"

#include <tinyxml.h>

#include "platform/text.h"

CXmlListDocument::CXmlListDocument(const char* rootName) : m_document(new TiXmlDocument()) {
  m_root = new TiXmlElement(rootName);
  m_document->LinkEndChild(m_root);
}

CXmlListDocument::~CXmlListDocument() = default;

void CXmlListDocument::AddElement(const Attributes& attributes) {
  TiXmlElement* element = new TiXmlElement("Element");
  for (const auto& attribute : attributes) {
    element->SetAttribute(std::string(attribute.first), platform::WideToUtf8(attribute.second));
  }
  m_root->LinkEndChild(element);
}

std::wstring CXmlListDocument::Print() const {
  TiXmlPrinter printer;
  printer.SetStreamPrinting();
  m_document->Accept(&printer);
  return platform::Utf8ToWide(printer.Str());
}
