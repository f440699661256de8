#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/library/FolderItem.h"
#include "platform/OutlineView.h"

namespace m2 {

// The library folder tree: the top-level folders (Home first, then the cloud root when
// there is one), the current folder, and the folder outline kept in step with them. Main
// thread only.
class FolderManager {
  public:
    // Ids of the special folders, exactly as stored (the lower-case "f" included).
    inline static const std::string home = "25D10A16-58C1-4E12-AAB1-38250F613EE4";
    inline static const std::string favourite = "25D10A16-58C1-4E12-AAB1-38250F613DD6";
    inline static const std::string document = "25D10A16-58C1-4E12-AAB1-38250F613116";
    inline static const std::string encrypted = "25D10A16-58C1-4E12-AAB1-38f250F61322";
    inline static const std::string cloud = "35670A16-58C1-4E12-AAB1-38f250F64532";

    std::vector<FolderItemPtr> folders;
    FolderItemPtr current;
    std::optional<int> currentIndex;
    // Not owned; set by the library operations before initItems.
    platform::OutlineView* folderView = nullptr;

    FolderManager() = default;

    // Loads the tree from the folder-tree file, or builds the default tree when there is no
    // usable file or it holds no folder. Does not save.
    void initItems();
    // Writes the tree with the outline's state; without a current folder no folder is
    // written as selected.
    void save();
    void setCurrent(FolderItemPtr folder);
    // The current folder's id; "" when there is none.
    [[nodiscard]] std::string currentFolder() const;
    // The first folder, depth first, whose id or cloud path equals the text.
    [[nodiscard]] FolderItemPtr find(const std::string& id) const;
    // Home. Requires a non-empty tree.
    [[nodiscard]] FolderItemPtr getRoot() const;
    // The second top-level folder; none when there is only Home.
    [[nodiscard]] FolderItemPtr getCloudRoot() const;
    // Appends the folder as the second top-level folder when there is exactly one.
    void createCloudRoot(FolderItemPtr folder);
    // Appends `folder` to parent's children; always true.
    bool addFolder(FolderItem& parent, FolderItemPtr folder);
    // Every descendant of `folder`, depth first, each before its own children.
    void getAllChildren(const FolderItem& folder, std::vector<FolderItemPtr>& children) const;
    // Removes the folder with its subtree (searched in the cloud subtree for a cloud folder,
    // else below Home) and saves; false when it is not found there. Home and the cloud root
    // cannot be removed.
    bool deleteFolder(const FolderItem& folder);
    // The removal step below `parent`; does not save.
    bool deleteFolder(FolderItem& parent, const FolderItem& folder);
    // The folder's row among the visible rows (0 when absent), counted over every top-level
    // folder with `includeAll`, else from the root of its subtree. Refreshes `expanded` of
    // every visited folder from the outline.
    [[nodiscard]] int currentIndexOf(const FolderItem& folder, bool includeAll = false);
    void currentIndexOf(FolderItem& visit, const FolderItem& folder,
                        std::vector<FolderItem*>& allfolders);
    // The position of `folder` among its siblings, searched below `parent`; -1 when absent.
    [[nodiscard]] int indexOf(const FolderItem& parent, const FolderItem& folder) const;
    // Home, Favourite and Encrypted.
    [[nodiscard]] bool isSpecial(const FolderItem& folder) const;
    // Expands the saved expanded folders (top-level ones always), selects the saved selected
    // folder (Home when none) and makes it current.
    void resumeState();
    void resumeState(const FolderItemPtr& folder, FolderItemPtr& selected);
    // The folder of the outline's selected row; none when no row is selected. The flag has
    // no effect.
    [[nodiscard]] FolderItemPtr getSelectedFolder(bool flag = true) const;
    // Copies the edited folder's label to the tree's folder of that id, redraws its row and
    // saves the tree.
    void editLibraryFolder(const FolderItem& folder);
    // Adds `folder` under `parent`, inserts its row, expands the parent and saves.
    void newLibraryFolder(FolderItemPtr folder, const FolderItemPtr& parent);
};

// The folder outline's data: the top-level folders, then each folder's children.
class FolderOutlineSource : public platform::OutlineDataSource {
  public:
    explicit FolderOutlineSource(const FolderManager& manager) : manager_(manager) {}
    [[nodiscard]] std::size_t numberOfChildren(const platform::OutlineItem* item) const override;
    [[nodiscard]] platform::OutlineItemPtr child(std::size_t index,
                                                 const platform::OutlineItem* item) const override;
    [[nodiscard]] std::string label(const platform::OutlineItem& item) const override;
    [[nodiscard]] std::string icon(const platform::OutlineItem& item) const override;

  private:
    [[nodiscard]] const std::vector<FolderItemPtr>* childrenOf(
        const platform::OutlineItem* item) const;
    const FolderManager& manager_;
};

}  // namespace m2
