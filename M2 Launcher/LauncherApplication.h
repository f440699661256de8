#pragma once

#include <functional>

namespace m2 {

class OpenFileWindowController;

// How a launcher run is set up; the defaults are the program's.
struct LauncherOptions {
    // Alerts as message boxes; false leaves the presenter installed before the call.
    bool windowAlerts = true;
    // Called once the window is shown, before the event loop runs.
    std::function<void(OpenFileWindowController&)> onWindow;
};

// The launcher program: its window, the command line, the event loop. Answers the exit
// status. When the editing application still runs at the end (a forced close), the process
// ends here at once, since a worker is still waiting for it.
int runLauncher(int argc, char** argv, const LauncherOptions& options = {});

}  // namespace m2
