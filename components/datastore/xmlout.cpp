#include "components/datastore/xmlout.h"

#include "components/datastore/textconv.h"

namespace datastore {

CXmlOut::CXmlOut(const char* rootName) {
  m_root = m_doc.LinkEndChild(new TiXmlElement(rootName))->ToElement();
}

TiXmlElement* CXmlOut::Add(TiXmlElement* parent, const char* name) {
  return parent->LinkEndChild(new TiXmlElement(name))->ToElement();
}

void CXmlOut::Set(TiXmlElement* element, const char* name, const std::string& value) {
  element->SetAttribute(name, value.c_str());
}

void CXmlOut::Set(TiXmlElement* element, const char* name, int64_t value) {
  element->SetAttribute(name, std::to_string(value).c_str());
}

std::wstring CXmlOut::Print() const {
  TiXmlPrinter printer;
  printer.SetStreamPrinting();
  m_doc.Accept(&printer);
  return ToWide(printer.Str());
}

}  // namespace datastore
