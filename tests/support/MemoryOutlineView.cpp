#include "support/MemoryOutlineView.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace m2::test {

using platform::OutlineItem;
using platform::OutlineItemPtr;
using platform::RowIndexes;

void MemoryOutlineView::setDataSource(platform::OutlineDataSource* source) {
    source_ = source;
    root_.children.clear();
    build(root_);
    prune();
}

MemoryOutlineView::Node* MemoryOutlineView::nodeOf(const OutlineItem* item) {
    return const_cast<Node*>(std::as_const(*this).nodeOf(item));
}

const MemoryOutlineView::Node* MemoryOutlineView::nodeOf(const OutlineItem* item) const {
    if (item == nullptr) {
        return &root_;
    }
    std::function<const Node*(const Node&)> search = [&](const Node& node) -> const Node* {
        for (const auto& child : node.children) {
            if (child.item.get() == item) {
                return &child;
            }
            if (const Node* found = search(child)) {
                return found;
            }
        }
        return nullptr;
    };
    return search(root_);
}

void MemoryOutlineView::build(Node& node) const {
    if (source_ == nullptr) {
        return;
    }
    const std::size_t count = source_->numberOfChildren(node.item.get());
    for (std::size_t i = 0; i < count; ++i) {
        Node child{source_->child(i, node.item.get()), {}};
        if (child.item) {
            build(child);
            node.children.push_back(std::move(child));
        }
    }
}

// Forgets expansion and selection of items that are no longer in the outline's tree.
void MemoryOutlineView::prune() {
    std::set<const OutlineItem*> present;
    std::function<void(const Node&)> collect = [&](const Node& node) {
        for (const auto& child : node.children) {
            present.insert(child.item.get());
            collect(child);
        }
    };
    collect(root_);
    std::erase_if(expanded_, [&](const OutlineItem* item) { return !present.count(item); });
    if (selected_ && !present.count(selected_.get())) {
        selected_.reset();
    }
}

bool MemoryOutlineView::isItemExpanded(const OutlineItem* item) const {
    return expanded_.count(item) != 0;
}

void MemoryOutlineView::expandItem(const OutlineItem* item) {
    log_.push_back("expand " + name(item));
    if (item != nullptr && nodeOf(item) != nullptr) {
        expanded_.insert(item);
    }
}

void MemoryOutlineView::collapseItem(const OutlineItem* item) {
    expanded_.erase(item);
}

void MemoryOutlineView::visible(const Node& node, int depth,
                                std::vector<std::pair<const Node*, int>>& out) const {
    for (const auto& child : node.children) {
        out.emplace_back(&child, depth);
        if (isItemExpanded(child.item.get())) {
            visible(child, depth + 1, out);
        }
    }
}

std::vector<std::pair<const MemoryOutlineView::Node*, int>> MemoryOutlineView::rows() const {
    std::vector<std::pair<const Node*, int>> out;
    visible(root_, 0, out);
    return out;
}

int MemoryOutlineView::selectedRow() const {
    const auto all = rows();
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (selected_ && all[i].first->item == selected_) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

OutlineItemPtr MemoryOutlineView::itemAtRow(int row) const {
    const auto all = rows();
    if (row < 0 || static_cast<std::size_t>(row) >= all.size()) {
        return nullptr;
    }
    return all[static_cast<std::size_t>(row)].first->item;
}

void MemoryOutlineView::selectRowIndexes(const RowIndexes& indexes, bool extendSelection) {
    log_.push_back("select " + join(indexes));
    const auto all = rows();
    // One selected row at most, as in the folder outline.
    for (const std::size_t row : indexes) {
        if (row < all.size()) {
            selected_ = all[row].first->item;
            return;
        }
    }
    if (!extendSelection) {
        selected_.reset();
    }
}

void MemoryOutlineView::clickRow(int row) {
    const auto all = rows();
    selected_ = row >= 0 && static_cast<std::size_t>(row) < all.size()
                    ? all[static_cast<std::size_t>(row)].first->item
                    : nullptr;
    if (source_ != nullptr) {
        source_->selectionDidChange();
    }
}

void MemoryOutlineView::beginUpdates() {
    log_.push_back("begin");
    ++depth_;
}

void MemoryOutlineView::endUpdates() {
    log_.push_back("end");
    if (depth_ > 0) {
        --depth_;
    }
}

void MemoryOutlineView::insertItems(const RowIndexes& indexes, const OutlineItem* parent,
                                    platform::OutlineAnimation /*animation*/) {
    log_.push_back("insert " + join(indexes) + " in " + name(parent));
    Node* node = nodeOf(parent);
    if (node == nullptr || source_ == nullptr) {
        return;
    }
    for (const std::size_t index : indexes) {
        if (index > node->children.size()) {
            continue;
        }
        Node child{source_->child(index, parent), {}};
        if (child.item) {
            build(child);
            node->children.insert(node->children.begin() + static_cast<long>(index),
                                  std::move(child));
        }
    }
}

void MemoryOutlineView::removeItems(const RowIndexes& indexes, const OutlineItem* parent,
                                    platform::OutlineAnimation /*animation*/) {
    log_.push_back("remove " + join(indexes) + " in " + name(parent));
    Node* node = nodeOf(parent);
    if (node == nullptr) {
        return;
    }
    for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) {
        if (*it < node->children.size()) {
            node->children.erase(node->children.begin() + static_cast<long>(*it));
        }
    }
    prune();
}

void MemoryOutlineView::reloadItem(const OutlineItem* item, bool reloadChildren) {
    log_.push_back("reloadItem " + name(item) + (reloadChildren ? " children" : ""));
    if (!reloadChildren) {
        return;
    }
    if (Node* node = nodeOf(item)) {
        node->children.clear();
        build(*node);
        prune();
    }
}

void MemoryOutlineView::reloadRows(const RowIndexes& indexes, const RowIndexes& columns) {
    log_.push_back("reloadRows " + join(indexes) + ":" + join(columns));
}

void MemoryOutlineView::reloadData() {
    log_.push_back("reloadData");
    root_.children.clear();
    build(root_);
    prune();
}

std::vector<std::string> MemoryOutlineView::visibleRows() const {
    std::vector<std::string> out;
    for (const auto& [node, depth] : rows()) {
        out.push_back(std::string(2 * static_cast<std::size_t>(depth), ' ') +
                      name(node->item.get()));
    }
    return out;
}

bool MemoryOutlineView::sameAsSource(const Node& node) const {
    const std::size_t count = source_->numberOfChildren(node.item.get());
    if (count != node.children.size()) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (source_->child(i, node.item.get()) != node.children[i].item ||
            !sameAsSource(node.children[i])) {
            return false;
        }
    }
    return true;
}

bool MemoryOutlineView::consistent() const {
    return source_ != nullptr && sameAsSource(root_);
}

std::string MemoryOutlineView::name(const OutlineItem* item) const {
    if (item == nullptr) {
        return "top";
    }
    return source_ != nullptr ? source_->label(*item) : "?";
}

std::string MemoryOutlineView::join(const RowIndexes& rows) {
    std::string out;
    for (const std::size_t row : rows) {
        out += (out.empty() ? "" : ",") + std::to_string(row);
    }
    return out;
}

}  // namespace m2::test
