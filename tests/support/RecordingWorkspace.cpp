#include "support/RecordingWorkspace.h"

#include <cerrno>

namespace m2::test {

bool RecordingWorkspace::openFile(const std::string& path) {
    const std::lock_guard lock(mutex_);
    opened_.push_back(path);
    return works_;
}

platform::WaitedApplication RecordingWorkspace::openFileAndWait(const std::string& path) {
    const std::lock_guard lock(mutex_);
    waitedFor_.push_back(path);
    return waitAnswer_;
}

bool RecordingWorkspace::revealFile(const std::string& path) {
    const std::lock_guard lock(mutex_);
    revealed_.push_back(path);
    return works_;
}

std::optional<std::filesystem::path> RecordingWorkspace::launcherLocation() {
    const std::lock_guard lock(mutex_);
    return launcher_;
}

bool RecordingWorkspace::openURL(const std::string& url) {
    const std::lock_guard lock(mutex_);
    urls_.push_back(url);
    return works_;
}

std::vector<std::string> RecordingWorkspace::urls() const {
    const std::lock_guard lock(mutex_);
    return urls_;
}

platform::LaunchResult RecordingWorkspace::startLauncher(const std::filesystem::path& launcher,
                                                         const std::string& documentPath,
                                                         std::string_view password) {
    const std::lock_guard lock(mutex_);
    launches_.push_back({launcher, documentPath, std::string(password)});
    if (!works_) {
        return {-1, ENOENT, "Could not start the launcher"};
    }
    return {0, 0, {}};
}

void RecordingWorkspace::setAnswers(bool works) {
    const std::lock_guard lock(mutex_);
    works_ = works;
}

void RecordingWorkspace::setWaitAnswer(platform::WaitedApplication answer) {
    const std::lock_guard lock(mutex_);
    waitAnswer_ = std::move(answer);
}

void RecordingWorkspace::setLauncher(std::optional<std::filesystem::path> launcher) {
    const std::lock_guard lock(mutex_);
    launcher_ = std::move(launcher);
}

std::vector<std::string> RecordingWorkspace::opened() const {
    const std::lock_guard lock(mutex_);
    return opened_;
}

std::vector<std::string> RecordingWorkspace::waitedFor() const {
    const std::lock_guard lock(mutex_);
    return waitedFor_;
}

std::vector<std::string> RecordingWorkspace::revealed() const {
    const std::lock_guard lock(mutex_);
    return revealed_;
}

std::vector<RecordingWorkspace::LauncherStart> RecordingWorkspace::launches() const {
    const std::lock_guard lock(mutex_);
    return launches_;
}

ScopedRecordingWorkspace::ScopedRecordingWorkspace()
    : workspace_(std::make_shared<RecordingWorkspace>()),
      previous_(platform::setWorkspace(workspace_)) {}

ScopedRecordingWorkspace::~ScopedRecordingWorkspace() {
    (void)platform::setWorkspace(previous_);
}

}  // namespace m2::test
