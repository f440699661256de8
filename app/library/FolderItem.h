#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/OutlineView.h"
#include "platform/Xml.h"

namespace m2 {

class FolderItem;
using FolderItemPtr = std::shared_ptr<FolderItem>;

// One node of the library folder tree. The folder outline shows these very objects, so
// holders share them.
class FolderItem : public platform::OutlineItem {
  public:
    // A new folder with a new UUID text as its id.
    FolderItem(std::string name, std::string parent, std::string icon);
    FolderItem(std::string name, std::string parent, std::string icon, std::string id);
    FolderItem(std::string name, std::string parent, std::string icon, std::string id, bool isCloud,
               std::string cloudPath);
    // A folder from a "folder" element; absent attributes keep their defaults. Child
    // elements are not read here.
    explicit FolderItem(const platform::XmlElement& element);

    std::string label;
    std::string id;
    std::vector<FolderItemPtr> children;
    std::string icon;
    std::string parent;
    bool expanded = false;
    bool selected = false;
    std::int64_t itemCount = 0;
    bool isCloudFolder = false;
    std::string cloudPath;

    static constexpr const char* propertyLabelFolderName = "folderNameID";
    static constexpr const char* propertyLabelId = "id";
    static constexpr const char* propertyLabelIcon = "icon";
    static constexpr const char* propertyLabelParent = "parent";
    static constexpr const char* propertyLabelExpanded = "expanded";
    static constexpr const char* propertyLabelSelected = "selected";
    static constexpr const char* propertyLabelCount = "itemCount";
    static constexpr const char* propertyLabelIsCloud = "itemIsCloud";
    static constexpr const char* propertyLabelCloudPath = "itemCloudPath";
    static constexpr const char* elementName = "folder";

    // A new "folder" element with the nine attributes and no children.
    [[nodiscard]] platform::XmlElement xmlElement() const;
    // True when label and id are both non-empty.
    [[nodiscard]] bool validate() const;
};

// "true" or "false"; and the reading rule of every catalogue flag: true only for exactly
// "true".
[[nodiscard]] const char* flagText(bool value);
[[nodiscard]] bool flagValue(const std::string& text);

}  // namespace m2
