#include "platform/ui/CollectionView.h"

#include <QMouseEvent>
#include <QPalette>
#include <algorithm>

#include "platform/Dispatch.h"

namespace m2::platform::ui {

CollectionViewWidget::CollectionViewWidget(QWidget* parent)
    : QScrollArea(parent), content_(new QWidget) {
    setWidgetResizable(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidget(content_);
    content_->installEventFilter(this);
}

CollectionViewWidget::~CollectionViewWidget() = default;

void CollectionViewWidget::registerItem(const std::string& identifier,
                                        std::function<std::unique_ptr<CollectionViewItem>()> make) {
    factories_[identifier] = std::move(make);
}

CollectionViewItem* CollectionViewWidget::makeItemWithIdentifier(const std::string& identifier,
                                                                 const IndexPath& path) {
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

void CollectionViewWidget::reloadData() {
    M2_ASSERT_MAIN_THREAD();
    for (auto& [path, item] : items_) {
        if (item == nullptr) {
            continue;
        }
        if (item->isViewLoaded()) {
            item->view()->hide();
            item->view()->deleteLater();
        }
        item->collectionView_ = nullptr;
        item->deleteLater();
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
    for (std::size_t section = 0; section < counts_.size(); ++section) {
        for (std::size_t index = 0; index < counts_[section]; ++index) {
            const IndexPath path{section, index};
            CollectionViewItem* item = source_->itemForIndexPath(*this, path);
            if (item != nullptr) {
                items_[path] = item;
            }
        }
    }
    markSelection();
    layoutTiles();
    for (auto& [path, item] : items_) {
        if (item != nullptr) {
            item->view()->show();
        }
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

QRect CollectionViewWidget::frameForItemAtIndexPath(const IndexPath& path) const {
    if (!contains(path)) {
        return {};
    }
    const int perRow = columns();
    int top = 0;
    for (std::size_t section = 0; section < path.section; ++section) {
        const int rows = static_cast<int>((counts_[section] + perRow - 1) / perRow);
        top += inset_.top() + inset_.bottom() + rows * itemSize_.height() +
               std::max(rows - 1, 0) * line_;
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
        const int rows = static_cast<int>((count + perRow - 1) / perRow);
        height += inset_.top() + inset_.bottom() + rows * itemSize_.height() +
                  std::max(rows - 1, 0) * line_;
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
