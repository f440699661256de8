#include "support/MemoryTableView.h"

#include <sstream>

namespace m2::test {
namespace {

std::string joined(const platform::RowIndexes& rows) {
    std::ostringstream out;
    const char* separator = "";
    for (const auto row : rows) {
        out << separator << row;
        separator = ",";
    }
    return out.str();
}

}  // namespace

int MemoryTableView::selectedRow() const {
    if (lastSelected_ >= 0 && selection_.contains(static_cast<std::size_t>(lastSelected_))) {
        return lastSelected_;
    }
    return selection_.empty() ? -1 : static_cast<int>(*selection_.begin());
}

void MemoryTableView::selectRowIndexes(const platform::RowIndexes& rows, bool extendSelection) {
    if (!extendSelection) {
        selection_.clear();
        lastSelected_ = -1;
    }
    for (const auto row : rows) {
        if (row < rows_) {
            selection_.insert(row);
            lastSelected_ = static_cast<int>(row);
        }
    }
    rememberSelectedEntries();
}

void MemoryTableView::deselectAll() {
    selection_.clear();
    lastSelected_ = -1;
    rememberSelectedEntries();
}

void MemoryTableView::rememberSelectedEntries() {
    selectedEntries_ = source_ != nullptr ? platform::identifiersOfRows(*source_, selection_)
                                          : platform::RowIdentifiers{};
    lastEntry_ = source_ != nullptr && lastSelected_ >= 0
                     ? source_->rowIdentifier(static_cast<std::size_t>(lastSelected_))
                     : std::string();
}

void MemoryTableView::beginUpdates() {
    ++depth_;
    log_.emplace_back("begin");
}

void MemoryTableView::endUpdates() {
    log_.emplace_back("end");
    if (depth_ > 0) {
        --depth_;
    }
}

void MemoryTableView::insertRows(const platform::RowIndexes& rows, platform::TableAnimation) {
    log_.push_back("insert " + joined(rows));
    for (const auto row : rows) {
        if (row > rows_) {
            continue;
        }
        ++rows_;
        platform::RowIndexes moved;
        for (const auto selected : selection_) {
            moved.insert(selected >= row ? selected + 1 : selected);
        }
        selection_ = std::move(moved);
        if (lastSelected_ >= static_cast<int>(row)) {
            ++lastSelected_;
        }
    }
    rememberSelectedEntries();
}

void MemoryTableView::removeRows(const platform::RowIndexes& rows, platform::TableAnimation) {
    log_.push_back("remove " + joined(rows));
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        const auto row = *it;
        if (row >= rows_) {
            continue;
        }
        --rows_;
        platform::RowIndexes moved;
        for (const auto selected : selection_) {
            if (selected != row) {
                moved.insert(selected > row ? selected - 1 : selected);
            }
        }
        selection_ = std::move(moved);
        if (lastSelected_ == static_cast<int>(row)) {
            lastSelected_ = -1;
        } else if (lastSelected_ > static_cast<int>(row)) {
            --lastSelected_;
        }
    }
    rememberSelectedEntries();
}

void MemoryTableView::reloadRows(const platform::RowIndexes& rows,
                                 const platform::RowIndexes& columns) {
    log_.push_back("reload " + joined(rows) + ":" + joined(columns));
}

void MemoryTableView::reloadData() {
    log_.emplace_back("reloadData");
    rows_ = source_ != nullptr ? source_->numberOfRows() : 0;
    selection_.clear();
    lastSelected_ = -1;
    if (source_ != nullptr) {
        selection_ = platform::rowsWithIdentifiers(*source_, rows_, selectedEntries_);
        for (const auto row : selection_) {
            if (source_->rowIdentifier(row) == lastEntry_) {
                lastSelected_ = static_cast<int>(row);
            }
        }
    }
    rememberSelectedEntries();
}

std::vector<std::string> MemoryTableView::columnTexts(const std::string& column) const {
    std::vector<std::string> texts;
    for (std::size_t row = 0; row < rows_; ++row) {
        texts.push_back(source_ != nullptr ? source_->cell(row, column).text : std::string());
    }
    return texts;
}

bool MemoryTableView::consistent() const {
    return rows_ == (source_ != nullptr ? source_->numberOfRows() : 0);
}

}  // namespace m2::test
