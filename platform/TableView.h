#pragma once

#include <algorithm>
#include <cstddef>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

namespace m2::platform {

// Row or column positions, ascending, without repeats.
using RowIndexes = std::set<std::size_t>;

// How inserted or removed rows are animated; the values are those of the original table
// options, kept so callers state what they asked for. Implementations may ignore them.
enum class TableAnimation : unsigned { none = 0x0, fade = 0x1, slideDown = 0x20 };

// One column: its identifier (also the cell kind), the header title, and the key handed
// back when the user sorts by it.
struct TableColumn {
    std::string identifier;
    std::string title;
    std::string sortKey;
};

// What one cell shows; an empty image means none.
struct TableCell {
    std::string text;
    std::string image;

    friend bool operator==(const TableCell&, const TableCell&) = default;
};

// The model behind a table. The table pulls rows and cells from it on the main thread; a
// row the source no longer has is answered with an empty cell.
class TableDataSource {
  public:
    virtual ~TableDataSource() = default;
    [[nodiscard]] virtual std::size_t numberOfRows() const = 0;
    [[nodiscard]] virtual TableCell cell(std::size_t row,
                                         const std::string& columnIdentifier) const = 0;
    // The user asked to sort by the column with this key; the source sorts itself and
    // reloads the table when it did.
    virtual void sortDescriptorsDidChange(const std::string& sortKey, bool ascending) = 0;
    // What the row shows, stable across sorts and reloads: the table keeps the selection of
    // entries by it, never of row numbers. Empty (the default) lets a reload drop the row's
    // selection.
    [[nodiscard]] virtual std::string rowIdentifier(std::size_t /*row*/) const { return {}; }
};

// Identifiers of rows, as a source gives them.
using RowIdentifiers = std::unordered_set<std::string>;

// The identifiers the source gives these rows; rows without one are left out.
[[nodiscard]] inline RowIdentifiers identifiersOfRows(const TableDataSource& source,
                                                      const RowIndexes& rows) {
    RowIdentifiers identifiers;
    for (const auto row : rows) {
        if (row < source.numberOfRows()) {
            if (std::string identifier = source.rowIdentifier(row); !identifier.empty()) {
                identifiers.insert(std::move(identifier));
            }
        }
    }
    return identifiers;
}

// The rows among the first `count` whose identifier is one of `identifiers`.
[[nodiscard]] inline RowIndexes rowsWithIdentifiers(const TableDataSource& source,
                                                    std::size_t count,
                                                    const RowIdentifiers& identifiers) {
    RowIndexes rows;
    if (identifiers.empty()) {
        return rows;
    }
    count = std::min(count, source.numberOfRows());
    for (std::size_t row = 0; row < count; ++row) {
        if (identifiers.contains(source.rowIdentifier(row))) {
            rows.insert(row);
        }
    }
    return rows;
}

// A table view, driven the way the library model drives it: the model changes its lists
// first, then tells the table which rows appeared, went away or changed. All calls on the
// main thread. Row positions outside the table are ignored, never trusted.
class TableView {
  public:
    virtual ~TableView() = default;

    // The source is not owned and must outlive its use by the table; nullptr detaches it.
    virtual void setDataSource(TableDataSource* source) = 0;

    // The most recently selected row still selected; -1 when none is.
    [[nodiscard]] virtual int selectedRow() const = 0;
    [[nodiscard]] virtual RowIndexes selectedRowIndexes() const = 0;
    virtual void selectRowIndexes(const RowIndexes& rows, bool extendSelection) = 0;
    // Selects no row; the selected entries are forgotten too.
    virtual void deselectAll() = 0;
    [[nodiscard]] virtual std::size_t numberOfRows() const = 0;

    // Brackets a group of row changes; an end without a begin is ignored.
    virtual void beginUpdates() = 0;
    virtual void endUpdates() = 0;
    // `rows` are positions after the insertion.
    virtual void insertRows(const RowIndexes& rows, TableAnimation animation) = 0;
    // `rows` are positions before the removal.
    virtual void removeRows(const RowIndexes& rows, TableAnimation animation) = 0;
    // Redraws the given cells; columns are positions in the table's column list.
    virtual void reloadRows(const RowIndexes& rows, const RowIndexes& columns) = 0;
    // Reads the row count and every row again; keeps selected the rows whose source
    // identifier was selected before (wherever a sort moved them), and no other.
    virtual void reloadData() = 0;
};

}  // namespace m2::platform
