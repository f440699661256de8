#pragma once

#include <string>
#include <vector>

#include "platform/TableView.h"

namespace m2::test {

// A table without a window for model tests. It behaves as the real one does: it keeps its
// own row count, changed only by insertions, removals and reloads, and moves the selection
// with inserted and removed rows; a reload keeps the selected entries by their identifiers.
// Every call is logged so a test can check the sequence.
class MemoryTableView final : public platform::TableView {
  public:
    void setDataSource(platform::TableDataSource* source) override { source_ = source; }
    [[nodiscard]] int selectedRow() const override;
    [[nodiscard]] platform::RowIndexes selectedRowIndexes() const override { return selection_; }
    void selectRowIndexes(const platform::RowIndexes& rows, bool extendSelection) override;
    void deselectAll() override;
    [[nodiscard]] std::size_t numberOfRows() const override { return rows_; }
    void beginUpdates() override;
    void endUpdates() override;
    void insertRows(const platform::RowIndexes& rows, platform::TableAnimation animation) override;
    void removeRows(const platform::RowIndexes& rows, platform::TableAnimation animation) override;
    void reloadRows(const platform::RowIndexes& rows, const platform::RowIndexes& columns) override;
    void reloadData() override;

    // The texts of one column for every row the table believes it has, read from the source.
    [[nodiscard]] std::vector<std::string> columnTexts(const std::string& column) const;
    // The table's row count agrees with its source.
    [[nodiscard]] bool consistent() const;
    [[nodiscard]] int updateDepth() const { return depth_; }
    // Calls in order: "begin", "end", "insert 0,3", "remove 2", "reload 1:0", "reloadData".
    [[nodiscard]] const std::vector<std::string>& log() const { return log_; }
    void clearLog() { log_.clear(); }

  private:
    // Read while the table and its source agree, for the next reload.
    void rememberSelectedEntries();

    platform::TableDataSource* source_ = nullptr;
    std::size_t rows_ = 0;
    platform::RowIndexes selection_;
    int lastSelected_ = -1;
    platform::RowIdentifiers selectedEntries_;
    std::string lastEntry_;
    int depth_ = 0;
    std::vector<std::string> log_;
};

}  // namespace m2::test
