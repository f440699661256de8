#include "app/library/FolderItem.h"

#include <charconv>

#include "app/library/XmlUtils.h"
#include "platform/Uuid.h"

namespace m2 {

namespace {

// A signed decimal 64-bit number with an optional sign and nothing else; absent otherwise.
std::optional<std::int64_t> parseCount(const std::string& text) {
    std::string_view digits(text);
    bool negative = false;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty() || digits.front() == '+' || digits.front() == '-') {
        return std::nullopt;
    }
    // Parse with the sign so that the most negative value still fits.
    const std::string withSign = (negative ? "-" : "") + std::string(digits);
    std::int64_t value = 0;
    const auto [end, error] =
        std::from_chars(withSign.data(), withSign.data() + withSign.size(), value);
    if (error != std::errc() || end != withSign.data() + withSign.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

const char* flagText(bool value) {
    return value ? "true" : "false";
}

bool flagValue(const std::string& text) {
    return text == "true";
}

FolderItem::FolderItem(std::string name, std::string parent, std::string icon)
    : FolderItem(std::move(name), std::move(parent), std::move(icon), platform::newUuidString()) {}

FolderItem::FolderItem(std::string name, std::string parent, std::string icon, std::string id)
    : FolderItem(std::move(name), std::move(parent), std::move(icon), std::move(id), false, "") {}

FolderItem::FolderItem(std::string name, std::string parent, std::string icon, std::string id,
                       bool isCloud, std::string cloudPath)
    : label(std::move(name)),
      id(std::move(id)),
      icon(std::move(icon)),
      parent(std::move(parent)),
      isCloudFolder(isCloud),
      cloudPath(std::move(cloudPath)) {}

FolderItem::FolderItem(const platform::XmlElement& element) {
    auto read = [&](const char* name) { return XmlUtils::getAttributeValue(element, name); };
    if (auto v = read(propertyLabelFolderName)) {
        label = *v;
    }
    if (auto v = read(propertyLabelId)) {
        id = *v;
    }
    if (auto v = read(propertyLabelIcon)) {
        icon = *v;
    }
    if (auto v = read(propertyLabelParent)) {
        parent = *v;
    }
    if (auto v = read(propertyLabelSelected)) {
        selected = flagValue(*v);
    }
    if (auto v = read(propertyLabelExpanded)) {
        expanded = flagValue(*v);
    }
    if (auto v = read(propertyLabelCount)) {
        itemCount = parseCount(*v).value_or(0);
    }
    if (auto v = read(propertyLabelIsCloud)) {
        isCloudFolder = flagValue(*v);
    }
    if (auto v = read(propertyLabelCloudPath)) {
        cloudPath = *v;
    }
}

platform::XmlElement FolderItem::xmlElement() const {
    platform::XmlElement element = platform::XmlElement::create(elementName);
    element.addAttribute(XmlUtils::createAttribute(propertyLabelFolderName, label));
    element.addAttribute(XmlUtils::createAttribute(propertyLabelId, id));
    element.addAttribute(XmlUtils::createAttribute(propertyLabelIcon, icon));
    element.addAttribute(XmlUtils::createAttribute(propertyLabelParent, parent));
    // "selected" comes before "expanded" in the file.
    element.addAttribute(XmlUtils::createAttribute(propertyLabelSelected, flagText(selected)));
    element.addAttribute(XmlUtils::createAttribute(propertyLabelExpanded, flagText(expanded)));
    element.addAttribute(XmlUtils::createAttribute(propertyLabelCount, std::to_string(itemCount)));
    element.addAttribute(XmlUtils::createAttribute(propertyLabelIsCloud, flagText(isCloudFolder)));
    element.addAttribute(XmlUtils::createAttribute(propertyLabelCloudPath, cloudPath));
    return element;
}

bool FolderItem::validate() const {
    return !label.empty() && !id.empty();
}

}  // namespace m2
