#include "platform/ui/CollectionView.h"

#include <QMouseEvent>
#include <QPalette>
#include <QScrollBar>
#include <algorithm>

#include "platform/Dispatch.h"

namespace m2::platform::ui {

CollectionViewWidget::CollectionViewWidget(QWidget* parent)
    : QScrollArea(parent), content_(new QWidget) {
    setWidgetResizable(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidget(content_);
    content_->installEventFilter(this);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { fillVisible(); });
}

CollectionViewWidget::~CollectionViewWidget() = default;

void CollectionViewWidget::registerItem(const std::string& identifier,
                                        std::function<std::unique_ptr<CollectionViewItem>()> make) {
    factories_[identifier] = std::move(make);
}

CollectionViewItem* CollectionViewWidget::makeItemWithIdentifier(const std::string& identifier,
                                                                 const IndexPath& path) {
    if (auto pool = reusable_.find(identifier); pool != reusable_.end()) {
        while (!pool->second.empty()) {
            CollectionViewItem* item = pool->second.back();
            pool->second.pop_back();
            if (item != nullptr) {
                item->indexPath_ = path;
                item->collectionView_ = this;
                return item;
            }
        }
    }
    const auto factory = factories_.find(identifier);
    if (factory == factories_.end() || !factory->second) {
        return nullptr;
    }
    std::unique_ptr<CollectionViewItem> made = factory->second();
    if (!made) {
        return nullptr;
    }
    CollectionViewItem* item = made.release();
    item->setParent(this);
    item->identifier_ = identifier;
    item->indexPath_ = path;
    item->collectionView_ = this;
    QWidget* view = item->view();  // the data source fills its outlets next
    view->setParent(content_);
    view->installEventFilter(this);
    return item;
}

void CollectionViewWidget::setItemSize(QSize size) {
    itemSize_ = size;
    layoutTiles();
}

void CollectionViewWidget::setSectionInset(QMargins inset) {
    inset_ = inset;
    layoutTiles();
}

void CollectionViewWidget::setMinimumInteritemSpacing(int spacing) {
    interitem_ = spacing;
    layoutTiles();
}

void CollectionViewWidget::setMinimumLineSpacing(int spacing) {
    line_ = spacing;
    layoutTiles();
}

void CollectionViewWidget::setBackgroundColor(const QColor& color) {
    QPalette palette = content_->palette();
    palette.setColor(QPalette::Window, color);
    content_->setPalette(palette);
    content_->setAutoFillBackground(true);
    viewport()->setPalette(palette);
    viewport()->setAutoFillBackground(true);
}

void CollectionViewWidget::discard(CollectionViewItem* item) {
    if (item == nullptr) {
        return;
    }
    if (item->isViewLoaded()) {
        item->view()->hide();
    }
    item->collectionView_ = nullptr;
    item->selected_ = false;
    reusable_[item->identifier_].push_back(item);
}

void CollectionViewWidget::reloadData() {
    M2_ASSERT_MAIN_THREAD();
    for (auto& [path, item] : items_) {
        discard(item);
    }
    items_.clear();
    counts_.clear();
    if (source_ != nullptr) {
        const std::size_t sections = source_->numberOfSections(*this);
        for (std::size_t section = 0; section < sections; ++section) {
            counts_.push_back(source_->numberOfItemsInSection(*this, section));
        }
    }
    std::erase_if(selection_, [this](const IndexPath& path) { return !contains(path); });
    layoutTiles();
}

void CollectionViewWidget::fillVisible() {
    M2_ASSERT_MAIN_THREAD();
    // The rows in view and one more above and below, so a small scroll shows tiles at once.
    const int perRow = columns();
    const int rowStep = itemSize_.height() + line_;
    const int scrolled = verticalScrollBar()->value();
    const int top = scrolled - rowStep;
    const int bottom = scrolled + viewport()->height() + rowStep;
    std::vector<IndexPath> wanted;
    int sectionTop = 0;
    for (std::size_t section = 0; section < counts_.size() && sectionTop < bottom; ++section) {
        const int height = sectionHeight(counts_[section], perRow);
        const int rowsTop = sectionTop + inset_.top();
        sectionTop += height;
        if (sectionTop <= top || counts_[section] == 0 || rowStep <= 0) {
            continue;
        }
        const std::size_t rows = (counts_[section] + perRow - 1) / perRow;
        const int firstRow = std::max(0, (top - rowsTop) / rowStep);
        const int lastRow = std::min(static_cast<int>(rows) - 1, (bottom - rowsTop) / rowStep);
        for (int row = firstRow; row <= lastRow; ++row) {
            for (int column = 0; column < perRow; ++column) {
                const std::size_t index = static_cast<std::size_t>(row) * perRow + column;
                if (index < counts_[section]) {
                    wanted.push_back({section, index});
                }
            }
        }
    }
    // Tiles that left the view go; the ones still in view stay as they are.
    for (auto it = items_.begin(); it != items_.end();) {
        if (!std::binary_search(wanted.begin(), wanted.end(), it->first)) {
            discard(it->second);
            it = items_.erase(it);
        } else {
            ++it;
        }
    }
    if (source_ == nullptr) {
        return;
    }
    for (const IndexPath& path : wanted) {
        if (items_.contains(path)) {
            continue;
        }
        CollectionViewItem* item = source_->itemForIndexPath(*this, path);
        if (item == nullptr) {
            continue;
        }
        items_[path] = item;
        item->selected_ = selection_.contains(path);
        if (item->isViewLoaded()) {
            item->view()->setGeometry(frameForItemAtIndexPath(path));
            item->view()->show();
        }
    }
    // Tiles no row needs now go on the next turn: a hidden tile would keep the text of a
    // note that may have left memory (at a lock), and its own click may still be running.
    for (auto& [identifier, pool] : reusable_) {
        for (const QPointer<CollectionViewItem>& item : pool) {
            if (item != nullptr) {
                if (item->isViewLoaded()) {
                    item->view()->deleteLater();
                }
                item->deleteLater();
            }
        }
        pool.clear();
    }
}

std::size_t CollectionViewWidget::numberOfItemsInSection(std::size_t section) const {
    return section < counts_.size() ? counts_[section] : 0;
}

CollectionViewItem* CollectionViewWidget::itemAtIndexPath(const IndexPath& path) const {
    const auto found = items_.find(path);
    return found == items_.end() ? nullptr : found->second.data();
}

int CollectionViewWidget::columns() const {
    const int width = viewport()->width() - inset_.left() - inset_.right();
    const int step = itemSize_.width() + interitem_;
    if (step <= 0) {
        return 1;
    }
    return std::max(1, (width + interitem_) / step);
}

int CollectionViewWidget::sectionHeight(std::size_t count, int perRow) const {
    const int rows = static_cast<int>((count + perRow - 1) / perRow);
    return inset_.top() + inset_.bottom() + rows * itemSize_.height() +
           std::max(rows - 1, 0) * line_;
}

QRect CollectionViewWidget::frameForItemAtIndexPath(const IndexPath& path) const {
    if (!contains(path)) {
        return {};
    }
    const int perRow = columns();
    int top = 0;
    for (std::size_t section = 0; section < path.section; ++section) {
        top += sectionHeight(counts_[section], perRow);
    }
    const int row = static_cast<int>(path.item) / perRow;
    const int column = static_cast<int>(path.item) % perRow;
    return {inset_.left() + column * (itemSize_.width() + interitem_),
            top + inset_.top() + row * (itemSize_.height() + line_), itemSize_.width(),
            itemSize_.height()};
}

int CollectionViewWidget::contentHeight() const {
    const int perRow = columns();
    int height = 0;
    for (const std::size_t count : counts_) {
        height += sectionHeight(count, perRow);
    }
    return height;
}

void CollectionViewWidget::selectItemsAtIndexPaths(const IndexPathSet& paths,
                                                   bool byExtendingSelection) {
    M2_ASSERT_MAIN_THREAD();
    if (!byExtendingSelection) {
        selection_.clear();
    }
    for (const IndexPath& path : paths) {
        if (!contains(path)) {
            continue;
        }
        if (!allowsMultiple_) {
            selection_.clear();
        }
        selection_.insert(path);
    }
    markSelection();
}

void CollectionViewWidget::deselectAll() {
    selection_.clear();
    markSelection();
}

void CollectionViewWidget::clickItem(const IndexPath& path, bool extend) {
    M2_ASSERT_MAIN_THREAD();
    if (!contains(path)) {
        return;
    }
    IndexPathSet selected;
    IndexPathSet deselected;
    if (extend && allowsMultiple_) {
        if (selection_.erase(path) > 0) {
            deselected.insert(path);
        } else {
            selection_.insert(path);
            selected.insert(path);
        }
    } else {
        for (const IndexPath& other : selection_) {
            if (other != path) {
                deselected.insert(other);
            }
        }
        if (!selection_.contains(path)) {
            selected.insert(path);
        }
        selection_ = {path};
    }
    markSelection();
    if (delegate_ != nullptr && !deselected.empty()) {
        delegate_->didDeselectItemsAtIndexPaths(*this, deselected);
    }
    if (delegate_ != nullptr && !selected.empty()) {
        delegate_->didSelectItemsAtIndexPaths(*this, selected);
    }
}

void CollectionViewWidget::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    layoutTiles();
}

bool CollectionViewWidget::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseButtonPress) {
        return QScrollArea::eventFilter(watched, event);
    }
    const auto* press = static_cast<QMouseEvent*>(event);
    const bool extend = (press->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier)) != 0;
    if (watched == content_) {
        // A click between tiles clears the selection, as the user expects of a grid.
        IndexPathSet deselected = selection_;
        deselectAll();
        if (delegate_ != nullptr && !deselected.empty()) {
            delegate_->didDeselectItemsAtIndexPaths(*this, deselected);
        }
        return false;
    }
    for (const auto& [path, item] : items_) {
        if (item != nullptr && item->isViewLoaded() && item->view() == watched) {
            const IndexPath clicked = path;  // the delegate may reload and clear items_
            clickItem(clicked, extend);
            // Taken here, so the click does not go on to the space between the tiles.
            event->accept();
            return true;
        }
    }
    return false;
}

bool CollectionViewWidget::contains(const IndexPath& path) const {
    return path.section < counts_.size() && path.item < counts_[path.section];
}

void CollectionViewWidget::markSelection() {
    for (auto& [path, item] : items_) {
        if (item != nullptr) {
            item->selected_ = selection_.contains(path);
        }
    }
}

void CollectionViewWidget::layoutTiles() {
    content_->resize(viewport()->width(), std::max(contentHeight(), viewport()->height()));
    for (const auto& [path, item] : items_) {
        if (item != nullptr && item->isViewLoaded()) {
            item->view()->setGeometry(frameForItemAtIndexPath(path));
        }
    }
    fillVisible();
}

void QtCollectionView::reloadData() {
    if (widget_ != nullptr) {
        widget_->reloadData();
    }
}

IndexPathSet QtCollectionView::selectionIndexPaths() const {
    return widget_ != nullptr ? widget_->selectionIndexPaths() : IndexPathSet{};
}

}  // namespace m2::platform::ui
