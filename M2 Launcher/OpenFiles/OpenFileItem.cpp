#include "M2 Launcher/OpenFiles/OpenFileItem.h"

#include "app/library/XmlUtils.h"

namespace m2 {

OpenFileItem::OpenFileItem(const platform::XmlElement& element)
    : encryptedPath(XmlUtils::getAttributeValue(element, "encryptedPath").value_or("")),
      plainPath(XmlUtils::getAttributeValue(element, "plainPath").value_or("")) {}

platform::XmlElement OpenFileItem::xmlElement() const {
    auto element = platform::XmlElement::create("file");
    element.addAttribute(XmlUtils::createAttribute("plainPath", plainPath));
    element.addAttribute(XmlUtils::createAttribute("encryptedPath", encryptedPath));
    return element;
}

}  // namespace m2
