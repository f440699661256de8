#include "platform/ui/Toolbar.h"

#include <QAction>
#include <QSizePolicy>
#include <QToolBar>
#include <QWidget>

#include "platform/Dispatch.h"
#include "platform/ui/Images.h"

namespace m2::platform::ui {

Toolbar::Toolbar(QToolBar* bar) : bar_(bar) {}

Toolbar::~Toolbar() = default;

void Toolbar::defineItem(const std::string& identifier, const QString& label,
                         const std::string& imageName, std::function<void()> action) {
    definitions_[identifier] = {label, imageName, std::move(action)};
}

bool Toolbar::insertItemWithItemIdentifier(const std::string& identifier, std::size_t index) {
    M2_ASSERT_MAIN_THREAD();
    if (bar_ == nullptr) {
        return false;
    }
    index = std::min(index, items_.size());
    QAction* before = index < items_.size() ? items_[index].action.data() : nullptr;
    QAction* inserted = nullptr;
    if (identifier == separatorIdentifier) {
        inserted = bar_->insertSeparator(before);
    } else if (identifier == flexibleSpaceIdentifier) {
        auto* spacer = new QWidget;
        spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        inserted = bar_->insertWidget(before, spacer);
    } else {
        const auto found = definitions_.find(identifier);
        if (found == definitions_.end()) {
            return false;
        }
        const Definition& definition = found->second;
        inserted = new QAction(iconNamed(definition.imageName), definition.label, bar_);
        if (definition.action) {
            QObject::connect(inserted, &QAction::triggered, inserted,
                             [action = definition.action] { action(); });
        }
        bar_->insertAction(before, inserted);
    }
    inserted->setObjectName(QString::fromStdString(identifier));
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), {identifier, inserted});
    return true;
}

void Toolbar::removeItemAtIndex(std::size_t index) {
    M2_ASSERT_MAIN_THREAD();
    if (index >= items_.size()) {
        return;
    }
    QAction* removed = items_[index].action;
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
    if (removed != nullptr && bar_ != nullptr) {
        bar_->removeAction(removed);
    }
    // Separators and spacers belong to the bar, items to us: each inserted item is new.
    delete removed;
}

std::vector<std::string> Toolbar::itemIdentifiers() const {
    std::vector<std::string> identifiers;
    identifiers.reserve(items_.size());
    for (const Item& item : items_) {
        identifiers.push_back(item.identifier);
    }
    return identifiers;
}

QAction* Toolbar::actionAt(std::size_t index) const {
    return index < items_.size() ? items_[index].action.data() : nullptr;
}

QAction* Toolbar::actionForIdentifier(const std::string& identifier) const {
    for (const Item& item : items_) {
        if (item.identifier == identifier) {
            return item.action;
        }
    }
    return nullptr;
}

}  // namespace m2::platform::ui
