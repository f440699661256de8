#include "app/library/XmlUtils.h"

namespace m2 {

platform::XmlAttribute XmlUtils::createAttribute(std::string_view name, std::string_view value) {
    return platform::XmlAttribute{std::string(name), std::string(value)};
}

std::optional<std::string> XmlUtils::getAttributeValue(const platform::XmlElement& element,
                                                       std::string_view attributeName) {
    return element.attribute(attributeName);
}

}  // namespace m2
