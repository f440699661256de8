#pragma once

#include <QImage>
#include <QProcess>
#include <QStringList>
#include <filesystem>
#include <string>

#include "support/TestFiles.h"

namespace m2::test {

// The real `morvane2` started on the X server of the test (xvfb-run) with a private home,
// Documents, configuration and runtime folder, its own session bus with an unlocked keyring
// kept in that home, and xdotool to drive it. The program, the keyring and the bus are ended
// when the object goes, so no daemon outlives the test.
class X11Program {
  public:
    X11Program();
    ~X11Program();
    X11Program(const X11Program&) = delete;
    X11Program& operator=(const X11Program&) = delete;

    [[nodiscard]] const std::filesystem::path& home() const { return home_; }
    [[nodiscard]] std::filesystem::path documents() const { return home_ / "Documents"; }
    [[nodiscard]] QProcess& process() { return program_; }

    // Starts the private session bus and keyring, then the program; false when one of them
    // could not be started.
    [[nodiscard]] bool start();
    // Completes the first-run setup sheet shown over the main window titled `title`: the
    // master password twice and its hint, then "No" to the getting-started question. The
    // main window's id once the sheet has gone; 0 when a step did not come.
    [[nodiscard]] unsigned long setUpMasterPassword(const std::string& title,
                                                    const std::string& password,
                                                    const std::string& hint);
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
    [[nodiscard]] bool startSession();
    // Visible windows of the program with exactly this title.
    [[nodiscard]] QStringList windowsTitled(const std::string& title) const;

    TempDir dir_;
    std::filesystem::path home_;
    // Declared before the program so it ends first, then the keyring, then the bus.
    QProcess bus_;
    QProcess keyring_;
    QProcess program_;
};

}  // namespace m2::test
