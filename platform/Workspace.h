#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/Launcher.h"

namespace m2::platform {

// How opening a file and waiting for its application ended.
struct [[nodiscard]] WaitedApplication {
    enum class Outcome {
        Ended,          // the application ran and ended: exitCode or signal, runTime
        NoProcess,      // it was started, but gave no process to wait for
        NoApplication,  // no default application for the file's type: message
        LaunchFailed,   // starting it failed: message
    };

    Outcome outcome = Outcome::LaunchFailed;
    int exitCode = -1;  // its exit status; -1 when a signal ended it
    int signal = 0;     // the signal that ended it, else 0
    std::chrono::milliseconds runTime{0};
    std::string message;  // the desktop's own text, for NoApplication and LaunchFailed
};

// The desktop's handling of the user's files, and the start of the launcher.
class Workspace {
  public:
    virtual ~Workspace() = default;
    // Opens the file with the user's default application for its type; answers whether an
    // application was started. Does not wait for it.
    [[nodiscard]] virtual bool openFile(const std::string& path) = 0;
    // Opens a web address in the user's default browser; answers whether one was started.
    // Workspaces that open no web pages answer false.
    virtual bool openURL(const std::string& url) {
        (void)url;
        return false;
    }
    // Opens the file with its default application and blocks until that application ends, so
    // call it on a worker. The path reaches the application as one argument, whatever it holds.
    [[nodiscard]] virtual WaitedApplication openFileAndWait(const std::string& path) = 0;
    // Shows the file selected in the file manager, else opens the folder that holds it;
    // answers whether either worked.
    [[nodiscard]] virtual bool revealFile(const std::string& path) = 0;
    // The launcher program (findLauncher); std::nullopt when it is not installed.
    [[nodiscard]] virtual std::optional<std::filesystem::path> launcherLocation() = 0;
    // Starts the launcher on one document with the password on its standard input
    // (startLauncher).
    virtual LaunchResult startLauncher(const std::filesystem::path& launcher,
                                       const std::string& documentPath,
                                       std::string_view password) = 0;
};

// The desktop through GIO and the session bus: the default handler of the file's content
// type, as the desktop's file manager would pick it, and the file manager's ShowItems.
class GioWorkspace final : public Workspace {
  public:
    [[nodiscard]] bool openFile(const std::string& path) override;
    bool openURL(const std::string& url) override;
    [[nodiscard]] WaitedApplication openFileAndWait(const std::string& path) override;
    [[nodiscard]] bool revealFile(const std::string& path) override;
    [[nodiscard]] std::optional<std::filesystem::path> launcherLocation() override;
    LaunchResult startLauncher(const std::filesystem::path& launcher,
                               const std::string& documentPath, std::string_view password) override;
};

// The workspace in use: a GioWorkspace unless another was installed (tests record calls).
[[nodiscard]] Workspace& workspace();
// Answers the previous workspace; nullptr goes back to GIO.
std::shared_ptr<Workspace> setWorkspace(std::shared_ptr<Workspace> replacement);

// "file://" URL text of an absolute path, with percent escapes; bytes that are not UTF-8
// are escaped too, so every file name has one.
[[nodiscard]] std::string fileUrlText(const std::string& absolutePath);

}  // namespace m2::platform
