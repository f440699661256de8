#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "platform/Xml.h"

namespace m2 {

// The encrypted document as it was when it was opened for editing: which file it is (so any
// spelling of its path names the same document) and its size and modification time (so a
// sealed copy left behind can be put in place only while nothing else changed it).
struct DocumentIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // nanoseconds since the epoch

    // The file at `path` (a link is followed); std::nullopt when it cannot be read.
    [[nodiscard]] static std::optional<DocumentIdentity> of(const std::string& path);
    [[nodiscard]] static DocumentIdentity of(const struct stat& info);
    [[nodiscard]] bool sameFile(const DocumentIdentity& other) const {
        return device == other.device && inode == other.inode;
    }
    [[nodiscard]] bool unchanged(const DocumentIdentity& now) const {
        return sameFile(now) && size == now.size && modified == now.modified;
    }

    friend bool operator==(const DocumentIdentity&, const DocumentIdentity&) = default;
};

// One document open for editing: the encrypted file and its plain working copy, which is the
// key of the open-files list. A record made before the decryption names the working
// sub-folder (ending in "/") as its plain copy.
struct OpenFileItem {
    OpenFileItem() = default;
    OpenFileItem(std::string encryptedPath, std::string plainPath,
                 std::optional<DocumentIdentity> document = std::nullopt)
        : encryptedPath(std::move(encryptedPath)),
          plainPath(std::move(plainPath)),
          document(document) {}
    // From a "file" element; an absent attribute gives an empty field.
    explicit OpenFileItem(const platform::XmlElement& element);

    // A "file" element with "plainPath" first and "encryptedPath" second, then the document's
    // identity when known.
    [[nodiscard]] platform::XmlElement xmlElement() const;

    std::string encryptedPath;
    std::string plainPath;
    std::optional<DocumentIdentity> document;

    friend bool operator==(const OpenFileItem&, const OpenFileItem&) = default;
};

}  // namespace m2
