#pragma once

#include <string>

#include "app/library/NotesFileOwner.h"
#include "app/services/CurrentProcess.h"

namespace m2 {

// What the library model asks of the main window's content view. The programs register the
// main view while its window is open; without a main window there is none, and the model
// skips these calls. Called on the main thread only.
class MainViewServices {
  public:
    virtual ~MainViewServices() = default;
    // The one process running, idel when none. Read and written on the main thread; a
    // worker learns of it through the work it is handed.
    [[nodiscard]] virtual CurrentProcess currentState() const = 0;
    virtual void setCurrentState(CurrentProcess state) = 0;
    // Shows the progress panel with its spinner running and the given label.
    virtual void showProgress(const std::string& text) = 0;
    // Stops the spinner and hides the progress panel and its labels.
    virtual void stopProgress() = 0;
    // Refreshes the folder title with the shown folder's entry count, the placeholder and the
    // folder buttons.
    virtual void updateStatus() = 0;
    // The owner of the notes file, when the window has notes.
    [[nodiscard]] virtual NotesFileOwner* notesFileOwner() { return nullptr; }
};

// The main view, or nullptr when there is no main window.
[[nodiscard]] MainViewServices* mainView();
void setMainView(MainViewServices* view);

// Registers a main view for one scope (a window's lifetime, or a test).
class ScopedMainView {
  public:
    explicit ScopedMainView(MainViewServices& view) { setMainView(&view); }
    ~ScopedMainView() { setMainView(nullptr); }
    ScopedMainView(const ScopedMainView&) = delete;
    ScopedMainView& operator=(const ScopedMainView&) = delete;
};

}  // namespace m2
