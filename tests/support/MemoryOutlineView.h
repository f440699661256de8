#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/OutlineView.h"

namespace m2::test {

// An outline without a window for model tests. Like the real one it keeps its own copy of
// the tree, changed only by insertions, removals and reloads, so a model that forgets to
// tell it shows up in consistent(). Expansion and selection follow the items. Every call is
// logged.
class MemoryOutlineView final : public platform::OutlineView {
  public:
    void setDataSource(platform::OutlineDataSource* source) override;
    [[nodiscard]] bool isItemExpanded(const platform::OutlineItem* item) const override;
    void expandItem(const platform::OutlineItem* item) override;
    [[nodiscard]] int selectedRow() const override;
    [[nodiscard]] platform::OutlineItemPtr itemAtRow(int row) const override;
    void selectRowIndexes(const platform::RowIndexes& rows, bool extendSelection) override;
    void beginUpdates() override;
    void endUpdates() override;
    void insertItems(const platform::RowIndexes& indexes, const platform::OutlineItem* parent,
                     platform::OutlineAnimation animation) override;
    void removeItems(const platform::RowIndexes& indexes, const platform::OutlineItem* parent,
                     platform::OutlineAnimation animation) override;
    void reloadItem(const platform::OutlineItem* item, bool reloadChildren) override;
    void reloadRows(const platform::RowIndexes& rows, const platform::RowIndexes& columns) override;
    void reloadData() override;

    // What a user does.
    void collapseItem(const platform::OutlineItem* item);
    void clickRow(int row);

    // The labels of the visible rows, indented two spaces per level.
    [[nodiscard]] std::vector<std::string> visibleRows() const;
    // The outline's copy of the tree equals its source's tree, item for item.
    [[nodiscard]] bool consistent() const;
    [[nodiscard]] int updateDepth() const { return depth_; }
    // "begin", "end", "insert 2 in Home", "remove 0 in top", "reloadItem Home children",
    // "reloadRows 3:0", "reloadData", "expand Home", "select 3".
    [[nodiscard]] const std::vector<std::string>& log() const { return log_; }
    void clearLog() { log_.clear(); }

  private:
    struct Node {
        platform::OutlineItemPtr item;
        std::vector<Node> children;
    };

    [[nodiscard]] Node* nodeOf(const platform::OutlineItem* item);
    [[nodiscard]] const Node* nodeOf(const platform::OutlineItem* item) const;
    void build(Node& node) const;
    void prune();
    void visible(const Node& node, int depth, std::vector<std::pair<const Node*, int>>& out) const;
    [[nodiscard]] std::vector<std::pair<const Node*, int>> rows() const;
    [[nodiscard]] bool sameAsSource(const Node& node) const;
    [[nodiscard]] std::string name(const platform::OutlineItem* item) const;
    static std::string join(const platform::RowIndexes& rows);

    platform::OutlineDataSource* source_ = nullptr;
    Node root_;
    std::set<const platform::OutlineItem*> expanded_;
    platform::OutlineItemPtr selected_;
    int depth_ = 0;
    std::vector<std::string> log_;
};

}  // namespace m2::test
