#pragma once

#include <QPointer>
#include <QString>
#include <QToolBar>  // bar() converts the guarded pointer
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

class QAction;

namespace m2::platform::ui {

// A toolbar whose items are inserted and removed by identifier, over a QToolBar (not owned).
// Each identifier is defined once with its label, image and action; "hline" is a separator
// and "NSToolbarFlexibleSpaceItem" a spacer that takes the free width. Main thread only.
class Toolbar {
  public:
    static constexpr const char* separatorIdentifier = "hline";
    static constexpr const char* flexibleSpaceIdentifier = "NSToolbarFlexibleSpaceItem";

    explicit Toolbar(QToolBar* bar);
    ~Toolbar();
    Toolbar(const Toolbar&) = delete;
    Toolbar& operator=(const Toolbar&) = delete;

    // An item the toolbar may show; its image is the named image of Images.h.
    void defineItem(const std::string& identifier, const QString& label,
                    const std::string& imageName, std::function<void()> action);

    // Inserts a new item at index (past the end: appended). An identifier that is neither
    // defined nor a standard one inserts nothing and answers false.
    bool insertItemWithItemIdentifier(const std::string& identifier, std::size_t index);
    // Removes the item at index; an index past the end is ignored.
    void removeItemAtIndex(std::size_t index);

    [[nodiscard]] std::size_t count() const { return items_.size(); }
    [[nodiscard]] std::vector<std::string> itemIdentifiers() const;
    // The action of the item at index (separators and spacers have one too).
    [[nodiscard]] QAction* actionAt(std::size_t index) const;
    // The first item with this identifier; nullptr when none is shown.
    [[nodiscard]] QAction* actionForIdentifier(const std::string& identifier) const;

    [[nodiscard]] QToolBar* bar() const { return bar_; }

  private:
    struct Definition {
        QString label;
        std::string imageName;
        std::function<void()> action;
    };
    struct Item {
        std::string identifier;
        QPointer<QAction> action;
    };

    QPointer<QToolBar> bar_;
    std::map<std::string, Definition> definitions_;
    std::vector<Item> items_;
};

}  // namespace m2::platform::ui
