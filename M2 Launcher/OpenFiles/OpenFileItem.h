#pragma once

#include <string>
#include <utility>

#include "platform/Xml.h"

namespace m2 {

// One document open for editing: the encrypted file and its plain working copy, which is the
// key of the open-files list.
struct OpenFileItem {
    OpenFileItem() = default;
    OpenFileItem(std::string encryptedPath, std::string plainPath)
        : encryptedPath(std::move(encryptedPath)), plainPath(std::move(plainPath)) {}
    // From a "file" element; an absent attribute gives an empty field.
    explicit OpenFileItem(const platform::XmlElement& element);

    // A "file" element with "plainPath" first and "encryptedPath" second.
    [[nodiscard]] platform::XmlElement xmlElement() const;

    std::string encryptedPath;
    std::string plainPath;

    friend bool operator==(const OpenFileItem&, const OpenFileItem&) = default;
};

}  // namespace m2
