#pragma once
// Helpers of the tests that read the driver's XML documents.
#include <pugixml.hpp>

#include <string>
#include <utility>
#include <vector>

namespace testsupport {

using Attributes = std::vector<std::pair<std::string, std::string>>;

// The node's attributes, names and values, in document order.
Attributes AttributesOf(const pugi::xml_node& Node);

}  // namespace testsupport
