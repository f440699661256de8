#include "M2 Launcher/OpenFiles/OpenFileItem.h"

#include <charconv>

#include "app/library/XmlUtils.h"

namespace m2 {
namespace {

template <typename Number>
std::optional<Number> number(const platform::XmlElement& element, const char* name) {
    const auto text = XmlUtils::getAttributeValue(element, name);
    if (!text || text->empty()) {
        return std::nullopt;
    }
    Number value{};
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || end != text->data() + text->size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<DocumentIdentity> DocumentIdentity::of(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return of(info);
}

DocumentIdentity DocumentIdentity::of(const struct stat& info) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::uint64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

OpenFileItem::OpenFileItem(const platform::XmlElement& element)
    : encryptedPath(XmlUtils::getAttributeValue(element, "encryptedPath").value_or("")),
      plainPath(XmlUtils::getAttributeValue(element, "plainPath").value_or("")) {
    const auto device = number<std::uint64_t>(element, "device");
    const auto inode = number<std::uint64_t>(element, "inode");
    const auto size = number<std::uint64_t>(element, "size");
    const auto modified = number<std::int64_t>(element, "modified");
    if (device && inode && size && modified) {
        document = DocumentIdentity{*device, *inode, *size, *modified};
    }
}

platform::XmlElement OpenFileItem::xmlElement() const {
    auto element = platform::XmlElement::create("file");
    element.addAttribute(XmlUtils::createAttribute("plainPath", plainPath));
    element.addAttribute(XmlUtils::createAttribute("encryptedPath", encryptedPath));
    if (document) {
        element.addAttribute(XmlUtils::createAttribute("device", std::to_string(document->device)));
        element.addAttribute(XmlUtils::createAttribute("inode", std::to_string(document->inode)));
        element.addAttribute(XmlUtils::createAttribute("size", std::to_string(document->size)));
        element.addAttribute(
            XmlUtils::createAttribute("modified", std::to_string(document->modified)));
    }
    return element;
}

}  // namespace m2
