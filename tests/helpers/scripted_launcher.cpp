// The launcher's own code behind scripted alerts, for tests that cannot click a message box
// in another process. Each alert is appended to the file $M2_TEST_ALERTS as its message, a
// 0x1F byte, its informative text and a 0x1E byte; it is answered with the next button
// named in $M2_TEST_ANSWERS (comma-separated), else with its last button ("OK", "No").
// Whenever the file $M2_TEST_CLOSE appears it is removed and the window's close button
// pressed.
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
#include "platform/AlertPresenter.h"

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

}  // namespace

int main(int argc, char** argv) {
    m2::platform::setAlertPresenter(std::make_shared<FileAlerts>());
    m2::LauncherOptions options;
    options.windowAlerts = false;
    options.onWindow = [](m2::OpenFileWindowController& window) {
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
    return m2::runLauncher(argc, argv, options);
}
