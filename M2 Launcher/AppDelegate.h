#pragma once

#include <string>

namespace m2 {

// The launcher's application delegate: it ends the program with its last window, and takes
// document-open requests for encrypted documents without acting on them (only the command
// line starts an edit).
class AppDelegate {
  public:
    void applicationDidFinishLaunching() {}
    [[nodiscard]] static bool applicationShouldTerminateAfterLastWindowClosed() { return true; }
    // True for a name holding ".m2p"; nothing is opened.
    [[nodiscard]] static bool applicationOpenFile(const std::string& filename) {
        return filename.find(".m2p") != std::string::npos;
    }
};

}  // namespace m2
