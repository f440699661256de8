#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "app/library/FolderManager.h"
#include "support/MemoryOutlineView.h"
#include "support/ScopedDocuments.h"

namespace m2::test {

// A plain library folder filed straight under parent, as the tests build their trees.
inline FolderItemPtr addFolderUnder(FolderManager& manager, const FolderItemPtr& parent,
                                    const std::string& label) {
    auto folder = std::make_shared<FolderItem>(label, parent->id, "folder-16");
    manager.addFolder(*parent, folder);
    return folder;
}

// A folder-tree model driving an in-memory outline, with the Documents folder in a scratch
// place. start() loads the tree (the default one when there is no file) and shows it.
struct FolderTreeHarness {
    ScopedDocuments docs;
    FolderManager manager;
    FolderOutlineSource source{manager};
    MemoryOutlineView view;

    void start() {
        manager.folderView = &view;
        manager.initItems();
        view.setDataSource(&source);
    }
    [[nodiscard]] FolderItemPtr home() const { return manager.getRoot(); }
    [[nodiscard]] FolderItemPtr child(std::size_t i) const { return home()->children.at(i); }
    [[nodiscard]] std::filesystem::path treeFile() const { return docs.base() / "Morvane.m2f"; }
};

}  // namespace m2::test
