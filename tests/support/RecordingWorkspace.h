#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Workspace.h"

namespace m2::test {

// Records every call and answers as the test set it up; starts nothing. Safe from any
// thread (the wait for an application runs on a worker).
class RecordingWorkspace : public platform::Workspace {
  public:
    struct LauncherStart {
        std::filesystem::path launcher;
        std::string documentPath;
        std::string password;
    };

    bool openFile(const std::string& path) override;
    bool openURL(const std::string& url) override;
    platform::WaitedApplication openFileAndWait(const std::string& path) override;
    bool revealFile(const std::string& path) override;
    std::optional<std::filesystem::path> launcherLocation() override;
    platform::LaunchResult startLauncher(const std::filesystem::path& launcher,
                                         const std::string& documentPath,
                                         std::string_view password) override;

    // What later calls answer: by default every call works, the application ends with
    // status 0, and the launcher is "/opt/morvane2/m2-launcher".
    void setAnswers(bool works);
    void setWaitAnswer(platform::WaitedApplication answer);
    void setLauncher(std::optional<std::filesystem::path> launcher);

    [[nodiscard]] std::vector<std::string> opened() const;
    [[nodiscard]] std::vector<std::string> urls() const;
    [[nodiscard]] std::vector<std::string> waitedFor() const;
    [[nodiscard]] std::vector<std::string> revealed() const;
    [[nodiscard]] std::vector<LauncherStart> launches() const;

  private:
    mutable std::mutex mutex_;
    bool works_ = true;
    platform::WaitedApplication waitAnswer_{
        platform::WaitedApplication::Outcome::Ended, 0, 0, {}, {}};
    std::optional<std::filesystem::path> launcher_{"/opt/morvane2/m2-launcher"};
    std::vector<std::string> opened_;
    std::vector<std::string> urls_;
    std::vector<std::string> waitedFor_;
    std::vector<std::string> revealed_;
    std::vector<LauncherStart> launches_;
};

// Installs a fresh recording workspace for one scope and puts the previous one back.
class ScopedRecordingWorkspace {
  public:
    ScopedRecordingWorkspace();
    ~ScopedRecordingWorkspace();
    ScopedRecordingWorkspace(const ScopedRecordingWorkspace&) = delete;
    ScopedRecordingWorkspace& operator=(const ScopedRecordingWorkspace&) = delete;

    RecordingWorkspace* operator->() const { return workspace_.get(); }
    RecordingWorkspace& operator*() const { return *workspace_; }

  private:
    std::shared_ptr<RecordingWorkspace> workspace_;
    std::shared_ptr<platform::Workspace> previous_;
};

}  // namespace m2::test
