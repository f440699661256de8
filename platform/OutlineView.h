#pragma once

#include <cstddef>
#include <memory>
#include <set>
#include <string>

namespace m2::platform {

// Row or column positions, ascending, without repeats.
using RowIndexes = std::set<std::size_t>;

// An object the outline shows. The outline identifies rows by these objects, so the model
// hands it the very objects it keeps and later asks about them (expanded, selected).
class OutlineItem {
  public:
    virtual ~OutlineItem() = default;
};
using OutlineItemPtr = std::shared_ptr<OutlineItem>;

// How inserted items are animated; the value is that of the original outline option.
// Implementations may ignore it.
enum class OutlineAnimation : unsigned { none = 0x0, slideLeft = 0x30 };

// The model behind an outline; asked on the main thread. `item` nullptr means the top level.
class OutlineDataSource {
  public:
    virtual ~OutlineDataSource() = default;
    [[nodiscard]] virtual std::size_t numberOfChildren(const OutlineItem* item) const = 0;
    // nullptr when there is no child at that index.
    [[nodiscard]] virtual OutlineItemPtr child(std::size_t index,
                                               const OutlineItem* item) const = 0;
    [[nodiscard]] virtual std::string label(const OutlineItem& item) const = 0;
    [[nodiscard]] virtual std::string icon(const OutlineItem& item) const = 0;
    // The user changed the selection.
    virtual void selectionDidChange() {}
};

// An outline of items, driven the way the folder-tree model drives it: the model changes
// its tree first, then tells the outline. Rows are the visible rows from the top, each
// expanded item followed by its children. All calls on the main thread.
class OutlineView {
  public:
    virtual ~OutlineView() = default;

    // The source is not owned and must outlive its use by the outline; nullptr detaches it.
    virtual void setDataSource(OutlineDataSource* source) = 0;

    // Also answers for items inside collapsed parents, as the outline remembers them.
    [[nodiscard]] virtual bool isItemExpanded(const OutlineItem* item) const = 0;
    // Expands the item (its parents are not expanded by this); unknown items are ignored.
    virtual void expandItem(const OutlineItem* item) = 0;

    // The selected row; -1 when none is selected.
    [[nodiscard]] virtual int selectedRow() const = 0;
    // The item shown in that row; nullptr when there is no such row.
    [[nodiscard]] virtual OutlineItemPtr itemAtRow(int row) const = 0;
    // Selects the rows that exist among `rows`; without `extendSelection` the old selection
    // is dropped first.
    virtual void selectRowIndexes(const RowIndexes& rows, bool extendSelection) = 0;

    // Brackets a group of changes; an end without a begin is ignored.
    virtual void beginUpdates() = 0;
    virtual void endUpdates() = 0;
    // Children of `parent` that appeared (positions after the insertion) or went away
    // (positions before the removal).
    virtual void insertItems(const RowIndexes& indexes, const OutlineItem* parent,
                             OutlineAnimation animation) = 0;
    virtual void removeItems(const RowIndexes& indexes, const OutlineItem* parent,
                             OutlineAnimation animation) = 0;
    // Reads the item again; with `reloadChildren` its whole subtree too.
    virtual void reloadItem(const OutlineItem* item, bool reloadChildren) = 0;
    // Redraws the given visible rows; columns are positions in the outline's column list.
    virtual void reloadRows(const RowIndexes& rows, const RowIndexes& columns) = 0;
    // Reads the whole tree again; items still present keep expansion and selection.
    virtual void reloadData() = 0;
};

}  // namespace m2::platform
