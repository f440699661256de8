#pragma once

#include <QImage>
#include <QProcess>
#include <QStringList>
#include <filesystem>
#include <string>

#include "support/TestFiles.h"

namespace m2::test {

// The real `morvane2` started on the X server of the test (xvfb-run) with a private home,
// Documents, configuration and runtime folder, no session bus, and xdotool to drive it.
// The program is killed when the object goes, if it still runs.
class X11Program {
  public:
    X11Program();
    ~X11Program();
    X11Program(const X11Program&) = delete;
    X11Program& operator=(const X11Program&) = delete;

    [[nodiscard]] const std::filesystem::path& home() const { return home_; }
    [[nodiscard]] std::filesystem::path documents() const { return home_ / "Documents"; }
    [[nodiscard]] QProcess& process() { return program_; }

    // Starts the program; false when it could not be started.
    [[nodiscard]] bool start();
    // The X window id of the visible window with exactly this title, waiting up to the
    // given time; 0 when none appeared.
    [[nodiscard]] static unsigned long waitForWindow(const std::string& title, int seconds);
    // The id of a visible window of ours other than `window` (a dialog it opened), waiting up
    // to the given time; empty when none appeared.
    [[nodiscard]] std::string waitForOtherWindow(unsigned long window, int seconds) const;
    [[nodiscard]] static bool isVisible(const std::string& window);
    // Runs xdotool with these arguments (no shell); answers its standard output.
    static std::string xdotool(const QStringList& arguments);
    // The window's picture, also saved as screenshots/<name>.png under the build folder.
    static QImage screenshot(unsigned long window, const std::string& name);

  private:
    TempDir dir_;
    std::filesystem::path home_;
    QProcess program_;
};

}  // namespace m2::test
