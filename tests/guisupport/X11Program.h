#pragma once

#include <QImage>
#include <QProcess>
#include <QStringList>
#include <filesystem>
#include <string>

#include "support/X11Programs.h"

namespace m2::test {

// The real `morvane2` started on the X server of the test (xvfb-run) in a KeyringHome (private
// home, Documents, session bus and unlocked keyring), and xdotool to drive it. The program,
// then the keyring and the bus, are ended when the object goes, so no daemon outlives the test.
class X11Program {
  public:
    X11Program() = default;
    ~X11Program();
    X11Program(const X11Program&) = delete;
    X11Program& operator=(const X11Program&) = delete;

    [[nodiscard]] std::filesystem::path home() const { return session_.home(); }
    [[nodiscard]] std::filesystem::path documents() const { return session_.documents(); }
    [[nodiscard]] QProcess& process() { return program_; }

    // Starts the private session bus and keyring, then the program; false when one of them
    // could not be started.
    [[nodiscard]] bool start();
    // Starts the program again in the same session once it has ended; false when it did
    // not start.
    [[nodiscard]] bool restartProgram();
    // Ends the program, then the keyring and the bus; answers whether no process that runs in
    // the private home is left.
    [[nodiscard]] bool stop();
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
    // Visible windows of the program with exactly this title.
    [[nodiscard]] QStringList windowsTitled(const std::string& title) const;

    KeyringHome session_;
    QProcess program_;
};

}  // namespace m2::test
