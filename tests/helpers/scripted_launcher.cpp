// The launcher's own code behind scripted alerts, for tests that cannot click a message box
// in another process. Each alert is appended to the file $M2_TEST_ALERTS as its message, a
// 0x1F byte, its informative text and a 0x1E byte; it is answered with the next button
// named in $M2_TEST_ANSWERS (comma-separated), else with its last button ("OK", "No").
// Whenever the file $M2_TEST_CLOSE appears it is removed and the window's close button
// pressed. $M2_TEST_KILL_AT names a step of the seal-back ("kept", "sealed", "placed",
// "plainDestroyed", "sealedRemoved", "recordRemoved") at which the process kills itself;
// "shredding" kills it halfway through overwriting the plain copy, after "placed".
// $M2_TEST_SCAN_MASKED holds a password, masked (support/MemoryScan.h): at the end the
// launcher's memory is scanned for it and its file key, and what was found written to
// $M2_TEST_SCAN_REPORT ("nothing" when nothing was).
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "M2 Launcher/LauncherApplication.h"
#include "M2 Launcher/OpenFileViewController.h"
#include "app/services/SecurityManagerExtensions.h"
#include "platform/AlertPresenter.h"
#include "platform/WorkingFolders.h"
#include "support/MemoryScan.h"

namespace {

std::string environmentText(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

class FileAlerts final : public m2::platform::AlertPresenter {
  public:
    FileAlerts() {
        std::istringstream answers(environmentText("M2_TEST_ANSWERS"));
        for (std::string answer; std::getline(answers, answer, ',');) {
            answers_.push_back(answer);
        }
    }

    int present(const m2::platform::AlertRequest& request) override {
        std::ofstream(environmentText("M2_TEST_ALERTS"), std::ios::app | std::ios::binary)
            << request.message << '\x1f' << request.informativeText.value_or("") << '\x1e'
            << std::flush;
        int pressed = static_cast<int>(request.buttons.size()) - 1;
        if (!answers_.empty()) {
            const auto found =
                std::find(request.buttons.begin(), request.buttons.end(), answers_.front());
            answers_.pop_front();
            if (found != request.buttons.end()) {
                pressed = static_cast<int>(found - request.buttons.begin());
            }
        }
        return pressed;
    }

  private:
    std::deque<std::string> answers_;
};

using Step = m2::SecurityManagerExtensions::SealStep;

const char* stepName(Step step) {
    switch (step) {
        case Step::kept:
            return "kept";
        case Step::sealed:
            return "sealed";
        case Step::placed:
            return "placed";
        case Step::plainDestroyed:
            return "plainDestroyed";
        case Step::sealedRemoved:
            return "sealedRemoved";
        case Step::recordRemoved:
            return "recordRemoved";
    }
    return "";
}

// The plain copy half overwritten the way the shredder does it, as a kill in its midst
// leaves it: 0xFF bytes over the first half.
void overwriteHalf(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    const off_t size = ::lseek(fd, 0, SEEK_END);
    const std::string fill(static_cast<std::size_t>(size / 2 + 1), '\xff');
    (void)::pwrite(fd, fill.data(), fill.size(), 0);
    (void)::fsync(fd);
    ::close(fd);
}

void killAtStep(const std::string& wanted, const std::string& plainFolder) {
    m2::SecurityManagerExtensions::setSealStepHook([wanted, plainFolder](Step step) {
        if (wanted == "shredding" && step == Step::placed) {
            std::error_code error;
            for (const auto& entry : std::filesystem::directory_iterator(plainFolder, error)) {
                if (entry.path().filename() == m2::platform::kKeptPlainName) {
                    overwriteHalf(entry.path());
                }
            }
            ::kill(::getpid(), SIGKILL);
        }
        if (wanted == stepName(step)) {
            ::kill(::getpid(), SIGKILL);
        }
    });
}

}  // namespace

int main(int argc, char** argv) {
    m2::platform::setAlertPresenter(std::make_shared<FileAlerts>());
    m2::LauncherOptions options;
    options.windowAlerts = false;
    options.onWindow = [](m2::OpenFileWindowController& window) {
        if (const std::string step = environmentText("M2_TEST_KILL_AT"); !step.empty()) {
            const auto& item = window.openFileViewController().currentOpenFileItem;
            killAtStep(step,
                       item ? std::filesystem::path(item->plainPath).parent_path().string() : "");
        }
        const std::string request = environmentText("M2_TEST_CLOSE");
        if (request.empty()) {
            return;
        }
        auto* poll = new QTimer(window.window());
        QObject::connect(poll, &QTimer::timeout, [&window, request] {
            if (std::filesystem::remove(request)) {
                window.window()->close();
            }
        });
        poll->start(50);
    };
    const int status = m2::runLauncher(argc, argv, options);
    if (const std::string masked = environmentText("M2_TEST_SCAN_MASKED"); !masked.empty()) {
        const auto findings = m2::test::scanWritableMemory(
            m2::test::passwordAndKeyForms(m2::test::MaskedValue::fromMaskedHex(masked)));
        std::ofstream(environmentText("M2_TEST_SCAN_REPORT"))
            << (findings.empty() ? std::string("nothing") : m2::test::describe(findings));
    }
    return status;
}
