#include "platform/ui/QtTableView.h"

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>
#include <QThread>
#include <utility>

#include "platform/ui/Images.h"

namespace m2::platform::ui {
namespace {

void assertMainThread() {
    Q_ASSERT(QCoreApplication::instance() == nullptr ||
             QThread::currentThread() == QCoreApplication::instance()->thread());
}

// Runs of consecutive positions, as (first, last) pairs in ascending order.
std::vector<std::pair<std::size_t, std::size_t>> runsOf(const RowIndexes& rows) {
    std::vector<std::pair<std::size_t, std::size_t>> runs;
    for (const auto row : rows) {
        if (!runs.empty() && runs.back().second + 1 == row) {
            runs.back().second = row;
        } else {
            runs.emplace_back(row, row);
        }
    }
    return runs;
}

}  // namespace

class TableItemModel final : public QAbstractTableModel {
  public:
    explicit TableItemModel(std::vector<TableColumn> columns) : columns_(std::move(columns)) {}

    void setSource(TableDataSource* source) {
        source_ = source;
        reset();
    }
    [[nodiscard]] TableDataSource* source() const { return source_; }
    [[nodiscard]] std::size_t rows() const { return rows_; }
    [[nodiscard]] const std::vector<TableColumn>& columns() const { return columns_; }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_);
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(columns_.size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (source_ == nullptr || !index.isValid() || index.row() < 0 || index.column() < 0) {
            return {};
        }
        const auto row = static_cast<std::size_t>(index.row());
        const auto column = static_cast<std::size_t>(index.column());
        // The view may ask for a row that its source has just dropped.
        if (row >= rows_ || row >= source_->numberOfRows() || column >= columns_.size()) {
            return {};
        }
        if (role != Qt::DisplayRole && role != QtTableView::imageNameRole &&
            role != Qt::DecorationRole) {
            return {};
        }
        const TableCell cell = source_->cell(row, columns_[column].identifier);
        if (role == Qt::DecorationRole) {
            return cell.image.empty() ? QVariant() : QVariant(iconNamed(cell.image));
        }
        const std::string& text = role == Qt::DisplayRole ? cell.text : cell.image;
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
            static_cast<std::size_t>(section) >= columns_.size()) {
            return QAbstractTableModel::headerData(section, orientation, role);
        }
        return QString::fromStdString(columns_[static_cast<std::size_t>(section)].title);
    }

    // Inserts at final positions, ascending; answers false (nothing changed) when a position
    // lies beyond the end.
    bool insert(const RowIndexes& positions) {
        std::size_t count = rows_;
        for (const auto row : positions) {
            if (row > count) {
                return false;
            }
            ++count;
        }
        for (const auto& [first, last] : runsOf(positions)) {
            beginInsertRows({}, static_cast<int>(first), static_cast<int>(last));
            rows_ += last - first + 1;
            endInsertRows();
        }
        return true;
    }

    // Removes positions counted before the removal, highest first.
    bool remove(const RowIndexes& positions) {
        if (!positions.empty() && *positions.rbegin() >= rows_) {
            return false;
        }
        const auto runs = runsOf(positions);
        for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
            beginRemoveRows({}, static_cast<int>(it->first), static_cast<int>(it->second));
            rows_ -= it->second - it->first + 1;
            endRemoveRows();
        }
        return true;
    }

    void changed(const RowIndexes& rows, const RowIndexes& columns) {
        if (columns_.empty()) {
            return;
        }
        for (const auto row : rows) {
            if (row >= rows_) {
                continue;
            }
            for (const auto column : columns) {
                if (column < columns_.size()) {
                    const QModelIndex cell = index(static_cast<int>(row), static_cast<int>(column));
                    emit dataChanged(cell, cell);
                }
            }
        }
    }

    void reset() {
        beginResetModel();
        rows_ = source_ != nullptr ? source_->numberOfRows() : 0;
        endResetModel();
    }

  private:
    std::vector<TableColumn> columns_;
    TableDataSource* source_ = nullptr;
    std::size_t rows_ = 0;
};

QtTableView::QtTableView(QTableView* view, std::vector<TableColumn> columns)
    : view_(view), model_(std::make_unique<TableItemModel>(std::move(columns))) {
    view_->setSortingEnabled(false);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setModel(model_.get());
    QHeaderView* header = view_->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    // Clicking a header only flips the indicator; the source sorts and reloads.
    QObject::connect(header, &QHeaderView::sortIndicatorChanged, model_.get(),
                     [this](int section, Qt::SortOrder order) {
                         const auto& columns = model_->columns();
                         if (model_->source() == nullptr || section < 0 ||
                             static_cast<std::size_t>(section) >= columns.size()) {
                             return;
                         }
                         model_->source()->sortDescriptorsDidChange(
                             columns[static_cast<std::size_t>(section)].sortKey,
                             order == Qt::AscendingOrder);
                     });
    QItemSelectionModel* selection = view_->selectionModel();
    QObject::connect(selection, &QItemSelectionModel::selectionChanged, model_.get(), [this] {
        if (!changingRows_) {
            rememberSelectedEntries();
        }
    });
    QObject::connect(selection, &QItemSelectionModel::currentChanged, model_.get(), [this] {
        if (!changingRows_) {
            rememberSelectedEntries();
        }
    });
}

QtTableView::~QtTableView() {
    if (view_->model() == model_.get()) {
        view_->setModel(nullptr);
    }
}

void QtTableView::setDataSource(TableDataSource* source) {
    assertMainThread();
    changingRows_ = true;
    model_->setSource(source);
    changingRows_ = false;
    deselectAll();
}

void QtTableView::rememberSelectedEntries() {
    const TableDataSource* source = model_->source();
    if (source == nullptr) {
        selectedEntries_.clear();
        currentEntry_.clear();
        return;
    }
    selectedEntries_ = identifiersOfRows(*source, selectedRowIndexes());
    const int current = selectedRow();
    currentEntry_ =
        current >= 0 ? source->rowIdentifier(static_cast<std::size_t>(current)) : std::string();
}

void QtTableView::deselectAll() {
    assertMainThread();
    if (QItemSelectionModel* selection = view_->selectionModel()) {
        selection->clear();
    }
    selectedEntries_.clear();
    currentEntry_.clear();
}

int QtTableView::selectedRow() const {
    const QItemSelectionModel* selection = view_->selectionModel();
    if (selection == nullptr) {
        return -1;
    }
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isRowSelected(current.row(), {})) {
        return current.row();
    }
    const RowIndexes rows = selectedRowIndexes();
    return rows.empty() ? -1 : static_cast<int>(*rows.begin());
}

RowIndexes QtTableView::selectedRowIndexes() const {
    RowIndexes rows;
    if (const QItemSelectionModel* selection = view_->selectionModel()) {
        for (const QModelIndex& index : selection->selectedRows()) {
            if (index.row() >= 0 && static_cast<std::size_t>(index.row()) < model_->rows()) {
                rows.insert(static_cast<std::size_t>(index.row()));
            }
        }
    }
    return rows;
}

void QtTableView::selectRowIndexes(const RowIndexes& rows, bool extendSelection) {
    assertMainThread();
    QItemSelectionModel* selection = view_->selectionModel();
    QItemSelection chosen;
    int last = -1;
    const int lastColumn = static_cast<int>(model_->columns().size()) - 1;
    for (const auto& [first, end] : runsOf(rows)) {
        if (first >= model_->rows() || lastColumn < 0) {
            break;
        }
        const auto clipped = std::min(end, model_->rows() - 1);
        chosen.select(model_->index(static_cast<int>(first), 0),
                      model_->index(static_cast<int>(clipped), lastColumn));
        last = static_cast<int>(clipped);
    }
    const auto flags =
        extendSelection ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect;
    selection->select(chosen, flags | QItemSelectionModel::Rows);
    if (last >= 0) {
        selection->setCurrentIndex(model_->index(last, 0), QItemSelectionModel::NoUpdate);
    }
}

std::size_t QtTableView::numberOfRows() const {
    return model_->rows();
}

void QtTableView::beginUpdates() {
    assertMainThread();
    if (depth_++ == 0) {
        view_->setUpdatesEnabled(false);
    }
}

void QtTableView::endUpdates() {
    assertMainThread();
    if (depth_ == 0) {
        return;
    }
    if (--depth_ == 0) {
        view_->setUpdatesEnabled(true);
    }
}

void QtTableView::insertRows(const RowIndexes& rows, TableAnimation) {
    assertMainThread();
    changingRows_ = true;
    const bool inserted = model_->insert(rows);
    changingRows_ = false;
    if (!inserted) {
        reloadData();
        return;
    }
    // The view moved the selection with the rows: the same entries, now readable again.
    rememberSelectedEntries();
}

void QtTableView::removeRows(const RowIndexes& rows, TableAnimation) {
    assertMainThread();
    changingRows_ = true;
    const bool removed = model_->remove(rows);
    changingRows_ = false;
    if (!removed) {
        reloadData();
        return;
    }
    rememberSelectedEntries();
}

void QtTableView::reloadRows(const RowIndexes& rows, const RowIndexes& columns) {
    assertMainThread();
    model_->changed(rows, columns);
}

void QtTableView::reloadData() {
    assertMainThread();
    changingRows_ = true;
    model_->reset();
    RowIndexes rows;
    int current = -1;
    if (const TableDataSource* source = model_->source()) {
        rows = rowsWithIdentifiers(*source, model_->rows(), selectedEntries_);
        for (const auto row : rows) {
            if (!currentEntry_.empty() && source->rowIdentifier(row) == currentEntry_) {
                current = static_cast<int>(row);
            }
        }
    }
    if (current >= 0) {
        rows.erase(static_cast<std::size_t>(current));
    }
    selectRowIndexes(rows, false);
    if (current >= 0) {
        selectRowIndexes({static_cast<std::size_t>(current)}, true);
    }
    changingRows_ = false;
    rememberSelectedEntries();
}

}  // namespace m2::platform::ui
