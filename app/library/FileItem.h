#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Xml.h"

namespace m2 {

// One library entry: a file on disk, plain or encrypted, and the library folder that shows
// it. Holders share one instance.
class FileItem {
  public:
    // An empty entry with a new id.
    FileItem();
    // An entry for a file being added; `size` is read from the file at path/filename, "-"
    // when it cannot be.
    FileItem(std::string absolute, std::string filename, std::string folder, bool encrypted,
             bool favorite, std::string path, bool cloudFile);
    // An entry from a "file" element; absent attributes keep their defaults (the id too).
    explicit FileItem(const platform::XmlElement& element);

    std::string fileName;
    bool encrypted = false;
    bool favorite = false;
    std::string filePath;
    std::string folder;
    std::string absolutePath;
    std::string id;
    bool cloudFile = false;
    std::string size;

    static constexpr const char* propertyLabelFileName = "fileName";
    static constexpr const char* propertyLabelEncrypted = "encrypted";
    static constexpr const char* propertyLabelFavorite = "favorite";
    static constexpr const char* propertyLabelFilePath = "filePath";
    static constexpr const char* propertyLabelFolder = "folder";
    static constexpr const char* propertyLabelAbsolutePath = "absolutePath";
    static constexpr const char* propertyLabelId = "id";
    static constexpr const char* elementName = "file";
    static constexpr const char* propertyLabelCloudFile = "cloudFile";
    static constexpr const char* propertyLabelSize = "filesize";

    // A new "file" element with the nine attributes, no children and no text.
    [[nodiscard]] platform::XmlElement xmlElement() const;
    // Appends the entry's "file" element as the library file holds it, byte for byte as
    // xmlElement() would be written, without building a tree.
    void appendXml(std::string& out) const;
    // True when id, fileName, filePath and absolutePath are all non-empty.
    [[nodiscard]] bool validate() const;

  private:
    // Calls attribute(name, value) for the nine attributes in file order.
    template <typename Visit>
    void forEachAttribute(Visit attribute) const;
};

using FileItemPtr = std::shared_ptr<FileItem>;

// A byte count as display text, decimal units: "Zero KB", "1 byte", "999 bytes", "12 KB",
// "1.5 MB", "2.25 GB".
[[nodiscard]] std::string convertToFileSize(std::int64_t bytes);

}  // namespace m2
