#include "platform/ui/QtOutlineView.h"

#include <QItemSelectionModel>
#include <QThread>

#include <algorithm>

#include "platform/ui/Images.h"

namespace m2::platform::ui {

namespace {

struct Node {
    OutlineItemPtr item;  // null for the invisible root
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;

    [[nodiscard]] int row() const {
        const auto& siblings = parent->children;
        const auto it = std::find_if(siblings.begin(), siblings.end(),
                                     [this](const auto& n) { return n.get() == this; });
        return static_cast<int>(it - siblings.begin());
    }
};

}  // namespace

// The tree view's model: a copy of the source's tree, changed only through sync().
class QtOutlineView::Model final : public QAbstractItemModel {
  public:
    OutlineDataSource* source = nullptr;
    QTreeView* view = nullptr;
    Node root;

    QModelIndex indexOf(const Node* node) const {
        if (node == nullptr || node == &root) {
            return {};
        }
        return createIndex(node->row(), 0, const_cast<Node*>(node));
    }

    Node* nodeOf(const QModelIndex& index) const {
        return index.isValid() ? static_cast<Node*>(index.internalPointer())
                               : const_cast<Node*>(&root);
    }

    Node* find(const OutlineItem* item) {
        if (item == nullptr) {
            return &root;
        }
        return findBelow(root, item);
    }

    QModelIndex index(int row, int column, const QModelIndex& parent) const override {
        const Node* node = nodeOf(parent);
        if (row < 0 || column != 0 || static_cast<std::size_t>(row) >= node->children.size()) {
            return {};
        }
        return createIndex(row, 0, node->children[static_cast<std::size_t>(row)].get());
    }

    QModelIndex parent(const QModelIndex& index) const override {
        return index.isValid() ? indexOf(nodeOf(index)->parent) : QModelIndex();
    }

    int rowCount(const QModelIndex& parent) const override {
        return parent.column() > 0 ? 0 : static_cast<int>(nodeOf(parent)->children.size());
    }

    int columnCount(const QModelIndex& /*parent*/) const override { return 1; }

    QVariant data(const QModelIndex& index, int role) const override {
        const Node* node = nodeOf(index);
        if (!index.isValid() || source == nullptr || !node->item) {
            return {};
        }
        if (role == Qt::DisplayRole) {
            return QString::fromStdString(source->label(*node->item));
        }
        if (role == IconNameRole) {
            return QString::fromStdString(source->icon(*node->item));
        }
        if (role == Qt::DecorationRole) {
            const std::string icon = source->icon(*node->item);
            return icon.empty() ? QVariant() : QVariant(iconNamed(icon));
        }
        return {};
    }

    // Brings the node's children in line with the source, item by item: items that went
    // away are removed, new ones inserted with their subtrees, the rest kept (and with them
    // their expansion and selection) and synced in turn.
    void sync(Node& node) {
        std::vector<OutlineItemPtr> wanted;
        if (source != nullptr) {
            const std::size_t count = source->numberOfChildren(node.item.get());
            for (std::size_t i = 0; i < count; ++i) {
                if (OutlineItemPtr child = source->child(i, node.item.get())) {
                    wanted.push_back(std::move(child));
                }
            }
        }
        const QModelIndex parentIndex = indexOf(&node);
        auto& children = node.children;
        for (int i = static_cast<int>(children.size()) - 1; i >= 0; --i) {
            const auto& item = children[static_cast<std::size_t>(i)]->item;
            if (std::find(wanted.begin(), wanted.end(), item) == wanted.end()) {
                dropSelectionWithin(index(i, 0, parentIndex));
                beginRemoveRows(parentIndex, i, i);
                children.erase(children.begin() + i);
                endRemoveRows();
            }
        }
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            const auto at = std::find_if(children.begin() + static_cast<long>(i), children.end(),
                                         [&](const auto& n) { return n->item == wanted[i]; });
            const int row = static_cast<int>(i);
            if (at == children.end()) {
                beginInsertRows(parentIndex, row, row);
                auto fresh = std::make_unique<Node>();
                fresh->item = wanted[i];
                fresh->parent = &node;
                build(*fresh);
                children.insert(children.begin() + row, std::move(fresh));
                endInsertRows();
                continue;
            }
            const int from = static_cast<int>(at - children.begin());
            if (from != row) {
                beginMoveRows(parentIndex, from, from, parentIndex, row);
                auto moving = std::move(*at);
                children.erase(at);
                children.insert(children.begin() + row, std::move(moving));
                endMoveRows();
            }
            sync(*children[i]);
        }
        if (!children.empty()) {
            emit dataChanged(index(0, 0, parentIndex),
                             index(static_cast<int>(children.size()) - 1, 0, parentIndex));
        }
    }

    void changed(const Node* node) {
        const QModelIndex i = indexOf(node);
        if (i.isValid()) {
            emit dataChanged(i, i);
        }
    }

  private:
    // A selected row that goes away leaves nothing selected; Qt would select a neighbour,
    // which the model never asked for.
    void dropSelectionWithin(const QModelIndex& doomed) {
        if (view == nullptr || view->selectionModel() == nullptr) {
            return;
        }
        for (QModelIndex i = view->selectionModel()->currentIndex(); i.isValid(); i = i.parent()) {
            if (i == doomed) {
                view->selectionModel()->clear();
                return;
            }
        }
    }

    static Node* findBelow(Node& node, const OutlineItem* item) {
        for (auto& child : node.children) {
            if (child->item.get() == item) {
                return child.get();
            }
            if (Node* found = findBelow(*child, item)) {
                return found;
            }
        }
        return nullptr;
    }

    // Fills a node that is not yet in the model; no notifications needed.
    void build(Node& node) {
        if (source == nullptr) {
            return;
        }
        const std::size_t count = source->numberOfChildren(node.item.get());
        for (std::size_t i = 0; i < count; ++i) {
            if (OutlineItemPtr child = source->child(i, node.item.get())) {
                auto fresh = std::make_unique<Node>();
                fresh->item = std::move(child);
                fresh->parent = &node;
                build(*fresh);
                node.children.push_back(std::move(fresh));
            }
        }
    }
};

QtOutlineView::QtOutlineView(QTreeView* tree) : tree_(tree), model_(std::make_unique<Model>()) {
    model_->view = tree_;
    tree_->setModel(model_.get());
    tree_->setHeaderHidden(true);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setSelectionBehavior(QAbstractItemView::SelectRows);
    QObject::connect(tree_->selectionModel(), &QItemSelectionModel::selectionChanged, model_.get(),
                     [this] {
                         if (model_->source != nullptr) {
                             model_->source->selectionDidChange();
                         }
                     });
}

QtOutlineView::~QtOutlineView() {
    tree_->setModel(nullptr);
}

void QtOutlineView::assertMainThread() const {
    Q_ASSERT(QThread::currentThread() == tree_->thread());
}

void QtOutlineView::setDataSource(OutlineDataSource* source) {
    assertMainThread();
    model_->source = source;
    model_->sync(model_->root);
}

bool QtOutlineView::isItemExpanded(const OutlineItem* item) const {
    assertMainThread();
    const Node* node = model_->find(item);
    return node != nullptr && node != &model_->root && tree_->isExpanded(model_->indexOf(node));
}

void QtOutlineView::expandItem(const OutlineItem* item) {
    assertMainThread();
    const Node* node = model_->find(item);
    if (node != nullptr && node != &model_->root) {
        tree_->expand(model_->indexOf(node));
    }
}

std::vector<QModelIndex> QtOutlineView::visibleIndexes() const {
    std::vector<QModelIndex> rows;
    std::vector<QModelIndex> pending;
    const auto pushChildren = [&](const QModelIndex& parent) {
        for (int r = model_->rowCount(parent) - 1; r >= 0; --r) {
            pending.push_back(model_->index(r, 0, parent));
        }
    };
    pushChildren(QModelIndex());
    while (!pending.empty()) {
        const QModelIndex index = pending.back();
        pending.pop_back();
        rows.push_back(index);
        if (tree_->isExpanded(index)) {
            pushChildren(index);
        }
    }
    return rows;
}

int QtOutlineView::selectedRow() const {
    assertMainThread();
    const QModelIndexList selected = tree_->selectionModel()->selectedRows();
    if (selected.isEmpty()) {
        return -1;
    }
    const auto rows = visibleIndexes();
    const auto it = std::find(rows.begin(), rows.end(), selected.front());
    return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
}

OutlineItemPtr QtOutlineView::itemAtRow(int row) const {
    assertMainThread();
    const auto rows = visibleIndexes();
    if (row < 0 || static_cast<std::size_t>(row) >= rows.size()) {
        return nullptr;
    }
    return itemAt(rows[static_cast<std::size_t>(row)]);
}

OutlineItemPtr QtOutlineView::itemAt(const QModelIndex& index) const {
    return index.isValid() && index.model() == model_.get() ? model_->nodeOf(index)->item : nullptr;
}

void QtOutlineView::selectRowIndexes(const RowIndexes& rows, bool extendSelection) {
    assertMainThread();
    const auto visible = visibleIndexes();
    QItemSelectionModel* selection = tree_->selectionModel();
    for (const std::size_t row : rows) {
        if (row < visible.size()) {
            // One selected row at most: the outline selects single folders.
            selection->setCurrentIndex(
                visible[row], QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            return;
        }
    }
    if (!extendSelection) {
        selection->clearSelection();
    }
}

void QtOutlineView::beginUpdates() {
    assertMainThread();
    ++depth_;
}

void QtOutlineView::endUpdates() {
    assertMainThread();
    if (depth_ > 0) {
        --depth_;
    }
}

// The source is the truth: the positions given only say where to look, and the children
// are matched item by item, so a wrong position cannot corrupt the view.
void QtOutlineView::insertItems(const RowIndexes& /*indexes*/, const OutlineItem* parent,
                                OutlineAnimation /*animation*/) {
    assertMainThread();
    if (Node* node = model_->find(parent)) {
        model_->sync(*node);
    }
}

void QtOutlineView::removeItems(const RowIndexes& /*indexes*/, const OutlineItem* parent,
                                OutlineAnimation /*animation*/) {
    assertMainThread();
    if (Node* node = model_->find(parent)) {
        model_->sync(*node);
    }
}

void QtOutlineView::reloadItem(const OutlineItem* item, bool reloadChildren) {
    assertMainThread();
    Node* node = model_->find(item);
    if (node == nullptr) {
        return;
    }
    model_->changed(node);
    if (reloadChildren) {
        model_->sync(*node);
    }
}

void QtOutlineView::reloadRows(const RowIndexes& rows, const RowIndexes& /*columns*/) {
    assertMainThread();
    const auto visible = visibleIndexes();
    for (const std::size_t row : rows) {
        if (row < visible.size()) {
            emit model_->dataChanged(visible[row], visible[row]);
        }
    }
}

void QtOutlineView::reloadData() {
    assertMainThread();
    model_->sync(model_->root);
}

}  // namespace m2::platform::ui
