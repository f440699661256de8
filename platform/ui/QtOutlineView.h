#pragma once

#include <QAbstractItemModel>
#include <QTreeView>

#include <memory>
#include <vector>

#include "platform/OutlineView.h"

namespace m2::platform::ui {

// The outline interface over a QTreeView. The view shows its own copy of the tree, kept in
// step with the data source whenever the model reports a change; items are matched by
// identity, so items that stay keep their expansion and selection.
class QtOutlineView final : public OutlineView {
  public:
    // The tree view is not owned; it gets this outline's item model.
    explicit QtOutlineView(QTreeView* tree);
    ~QtOutlineView() override;
    QtOutlineView(const QtOutlineView&) = delete;
    QtOutlineView& operator=(const QtOutlineView&) = delete;

    // The role under which the item model answers an item's icon name.
    static constexpr int IconNameRole = Qt::UserRole + 1;

    void setDataSource(OutlineDataSource* source) override;
    [[nodiscard]] bool isItemExpanded(const OutlineItem* item) const override;
    void expandItem(const OutlineItem* item) override;
    [[nodiscard]] int selectedRow() const override;
    [[nodiscard]] OutlineItemPtr itemAtRow(int row) const override;
    void selectRowIndexes(const RowIndexes& rows, bool extendSelection) override;
    void beginUpdates() override;
    void endUpdates() override;
    void insertItems(const RowIndexes& indexes, const OutlineItem* parent,
                     OutlineAnimation animation) override;
    void removeItems(const RowIndexes& indexes, const OutlineItem* parent,
                     OutlineAnimation animation) override;
    void reloadItem(const OutlineItem* item, bool reloadChildren) override;
    void reloadRows(const RowIndexes& rows, const RowIndexes& columns) override;
    void reloadData() override;

    [[nodiscard]] QTreeView* treeView() const { return tree_; }
    // The item behind a model index of the tree view; nullptr for none.
    [[nodiscard]] OutlineItemPtr itemAt(const QModelIndex& index) const;

  private:
    class Model;

    [[nodiscard]] std::vector<QModelIndex> visibleIndexes() const;
    void assertMainThread() const;

    QTreeView* tree_;
    std::unique_ptr<Model> model_;
    int depth_ = 0;
};

}  // namespace m2::platform::ui
