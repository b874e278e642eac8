#include "XmlSupport.h"

namespace testsupport {

Attributes AttributesOf(const pugi::xml_node& Node) {
  Attributes Found;
  for (const pugi::xml_attribute& Attribute : Node.attributes())
    Found.emplace_back(Attribute.name(), Attribute.value());
  return Found;
}

}  // namespace testsupport
