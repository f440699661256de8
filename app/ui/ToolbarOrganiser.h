#pragma once

#include <optional>
#include <string>
#include <vector>

namespace m2::platform::ui {
class Toolbar;
}

namespace m2 {

// Rebuilds the main window's toolbar for the library view or the notes view. Owned by the
// main content controller; main thread only.
class ToolbarOrganiser {
  public:
    enum class ViewType { library = 0, notes = 1 };

    // Every toolbar item the organiser knows, in catalogue order.
    enum class ToolbarItems {
        addFile,
        addFolder,
        deleteFiles,
        hLine1,
        encrypt,
        decrypt,
        hLine2,
        shred,
        hLine3,
        cloud,
        cloudShare,
        hLine4,
        addNote,
        deleteNote,
        editNote,
        hLine5,
        libraryView,
        noteView,
        hLine6,
        flexiSpace,
        logoff,
        openFile,
        settings,
        help,
    };

    [[nodiscard]] static std::optional<ViewType> viewTypeFromRawValue(int raw);
    [[nodiscard]] static std::optional<ToolbarItems> toolbarItemFromRawValue(int raw);
    // The toolbar item identifier of a catalogue entry.
    [[nodiscard]] static std::string asString(ToolbarItems item);
    // The identifiers a view's toolbar holds, left to right.
    [[nodiscard]] static std::vector<std::string> identifiers(ViewType view);

    ViewType viewType = ViewType::library;

    // Records the view, then empties the toolbar and fills it for that view. Without a
    // toolbar only the view is recorded.
    void noteView(platform::ui::Toolbar* toolbar);
    void libraryView(platform::ui::Toolbar* toolbar);

  private:
    void switchView(platform::ui::Toolbar* toolbar) const;
};

}  // namespace m2
