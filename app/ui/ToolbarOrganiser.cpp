#include "app/ui/ToolbarOrganiser.h"

#include <array>

#include "platform/ui/Toolbar.h"

namespace m2 {

namespace {

constexpr int lastToolbarItem = static_cast<int>(ToolbarOrganiser::ToolbarItems::help);

constexpr std::array<const char*, lastToolbarItem + 1> itemIdentifiers = {
    "addFile",    "addFolder",   "delFiles", "hline",      "encrypt",
    "decrypt",    "hline",       "shred",    "hline",      "cloud",
    "cloudShare", "hline",       "addNote",  "deleteNote", "editNote",
    "hline",      "libraryView", "noteView", "hline",      "NSToolbarFlexibleSpaceItem",
    "logoff",     "openFile",    "settings", "help",
};

}  // namespace

std::optional<ToolbarOrganiser::ViewType> ToolbarOrganiser::viewTypeFromRawValue(int raw) {
    if (raw == 0 || raw == 1) {
        return static_cast<ViewType>(raw);
    }
    return std::nullopt;
}

std::optional<ToolbarOrganiser::ToolbarItems> ToolbarOrganiser::toolbarItemFromRawValue(int raw) {
    if (raw >= 0 && raw <= lastToolbarItem) {
        return static_cast<ToolbarItems>(raw);
    }
    return std::nullopt;
}

std::string ToolbarOrganiser::asString(ToolbarItems item) {
    return itemIdentifiers.at(static_cast<std::size_t>(item));
}

std::vector<std::string> ToolbarOrganiser::identifiers(ViewType view) {
    using enum ToolbarItems;
    const std::vector<ToolbarItems> own =
        view == ViewType::notes
            ? std::vector{addNote, deleteNote, editNote, hLine5, libraryView, hLine6}
            : std::vector{addFile, addFolder, deleteFiles, hLine1,   encrypt,
                          decrypt, hLine2,    shred,       hLine3,   cloud,
                          hLine4,  noteView,  hLine5,      openFile, hLine6};
    std::vector<std::string> result;
    for (const auto item : own) {
        result.push_back(asString(item));
    }
    for (const auto item : {logoff, flexiSpace, settings, hLine6, help}) {
        result.push_back(asString(item));
    }
    return result;
}

void ToolbarOrganiser::libraryView(platform::ui::Toolbar* toolbar) {
    viewType = ViewType::library;
    switchView(toolbar);
}

void ToolbarOrganiser::noteView(platform::ui::Toolbar* toolbar) {
    viewType = ViewType::notes;
    switchView(toolbar);
}

void ToolbarOrganiser::switchView(platform::ui::Toolbar* toolbar) const {
    if (toolbar == nullptr) {
        return;
    }
    const std::size_t count = toolbar->count();
    for (std::size_t i = 0; i < count; ++i) {
        toolbar->removeItemAtIndex(0);
    }
    std::size_t index = 0;
    for (const auto& identifier : identifiers(viewType)) {
        toolbar->insertItemWithItemIdentifier(identifier, index++);
    }
}

}  // namespace m2
