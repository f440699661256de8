#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/library/FolderItem.h"
#include "platform/OutlineView.h"
#include "platform/Xml.h"

namespace m2 {

class FolderManager;

// The folder-tree file "Morvane.m2f": the library folder tree with each folder's outline
// state, one nested "folder" element per folder.
class FolderReader {
  public:
    // "<Documents>/Morvane/Morvane.m2f".
    [[nodiscard]] static std::filesystem::path location();

    // Writes the whole tree of folderManager.folders, refreshing every folder's `expanded`
    // from the outline (kept as it is without one) and `selected` from `currentSelected`
    // (false everywhere without one). True when the file was replaced; `reason` (when given)
    // receives why it was not.
    [[nodiscard]] static bool save(const platform::OutlineView* folderView,
                                   const FolderItem* currentSelected,
                                   const FolderManager& folderManager,
                                   std::string* reason = nullptr);
    // The writer's step for one folder and its subtree.
    static void save(platform::XmlElement& parent, FolderItem& child,
                     const platform::OutlineView* folderView, const FolderItem* currentSelected);

    // Folders nested deeper than this are not read (the original file is kept aside before
    // the next save): every walk over the tree recurses once per level.
    static constexpr int maximumDepth = 1000;

    // The top-level folders with their subtrees; absent when there is no usable file (a
    // damaged one is moved aside, see CatalogueFile).
    [[nodiscard]] static std::optional<std::vector<FolderItemPtr>> load();
    // The reader's step: appends the folder of `childElement`, with its subtree, to
    // parent.children.
    static void load(FolderItem& parent, const platform::XmlElement& childElement);

  private:
    // Answers false when something below `depth` levels was left out.
    static bool load(FolderItem& parent, const platform::XmlElement& childElement, int depth);
};

}  // namespace m2
