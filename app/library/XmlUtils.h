#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Xml.h"

namespace m2 {

// The two routines through which every catalogue element is written and read.
class XmlUtils {
  public:
    XmlUtils() = delete;

    // A new attribute with that name and text value; the serialiser escapes it.
    [[nodiscard]] static platform::XmlAttribute createAttribute(std::string_view name,
                                                                std::string_view value);
    // The value of the element's own attribute of that name (exact, case-sensitive match);
    // absent when the element has none. An empty value is a value.
    [[nodiscard]] static std::optional<std::string> getAttributeValue(
        const platform::XmlElement& element, std::string_view attributeName);
};

}  // namespace m2
