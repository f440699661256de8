#pragma once

#include <memory>
#include <string>
#include <vector>

namespace m2::platform {

// The settings of one open panel.
struct OpenPanelOptions {
    std::string prompt;  // title of the confirming button
    bool showsResizeIndicator = true;
    bool showsHiddenFiles = false;
    bool allowsMultipleSelection = false;
    bool canChooseDirectories = false;
    bool canChooseFiles = true;
    // File extensions (without the dot) that may be chosen; empty allows every file.
    std::vector<std::string> allowedFileTypes;
};

// The raw values are those of the original panel responses.
enum class PanelResponse { cancel = 0, ok = 1 };

struct OpenPanelResult {
    PanelResponse response = PanelResponse::cancel;
    std::vector<std::string> paths;  // absolute, as chosen; empty unless ok
};

// Lets the user choose files or folders, modally. Called on the main thread.
class OpenPanel {
  public:
    virtual ~OpenPanel() = default;
    [[nodiscard]] virtual OpenPanelResult runModal(const OpenPanelOptions& options) = 0;
};

// The panel every chooser goes through: the program installs the window-system one, tests a
// scripted one. Until one is installed the panel answers cancel.
[[nodiscard]] OpenPanel& openPanel();
// Answers the previous panel; nullptr goes back to answering cancel.
std::shared_ptr<OpenPanel> setOpenPanel(std::shared_ptr<OpenPanel> panel);

// The folder every panel opens in: the one the user last chose something in, while it still
// exists, else the user's Documents folder (or, without one, the home folder); never the
// program's working folder. Main thread.
[[nodiscard]] std::string panelStartFolder();
// Remembers the folder the user chose something in, for the next panel. Main thread.
void rememberPanelFolder(const std::string& folder);

}  // namespace m2::platform
