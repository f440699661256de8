#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/notes/NoteItem.h"
#include "guisupport/UiFixture.h"

namespace m2 {
class CollectionViewItem;
class MainWindowController;
class projectViewController;
}  // namespace m2

namespace m2::platform::ui {
class CollectionViewWidget;
}

namespace m2::test {

// The program's main window with its notes view, for the notes window tests: the program's
// storyboard "Main", the master password logged in, the window shown in the library view.
class NotesWindow {
  public:
    static constexpr const char* password = "notes window password";
    static constexpr const char* hint = "the window test's hint";

    explicit NotesWindow(UiFixture& fixture);
    ~NotesWindow();
    NotesWindow(const NotesWindow&) = delete;
    NotesWindow& operator=(const NotesWindow&) = delete;

    [[nodiscard]] MainWindowController& window() const { return *window_; }
    [[nodiscard]] projectViewController& main() const;
    [[nodiscard]] platform::ui::CollectionViewWidget& grid() const;

    // A notes file in the default place holding `notes`, sealed by the engine under the
    // logged-in password, adopted by the main controller's store and loaded, as at log-in.
    std::filesystem::path useNotesFile(const std::vector<NoteItemPtr>& notes);
    // The tile at a position of the grid's one section; nullptr when none is shown.
    [[nodiscard]] CollectionViewItem* tile(std::size_t item) const;
    [[nodiscard]] std::vector<std::string> tileTitles() const;
    // The labels the notes file holds now, read by a fresh reader; {"<absent>"} when it does
    // not load.
    [[nodiscard]] std::vector<std::string> storedLabels() const;
    // Clicks the tile as the mouse does; `extend` as with Ctrl held.
    void click(std::size_t item, bool extend = false) const;

  private:
    UiFixture& fixture_;
    std::unique_ptr<MainWindowController> window_;
};

// A note of a category with a text, made as the editor makes one.
[[nodiscard]] NoteItemPtr makeNote(const std::string& label, int category,
                                   const std::string& content = "");

}  // namespace m2::test
