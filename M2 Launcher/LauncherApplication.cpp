#include "M2 Launcher/LauncherApplication.h"

#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "M2 Launcher/AppDelegate.h"
#include "M2 Launcher/OpenFileViewController.h"
#include "platform/ui/Application.h"
#include "platform/ui/QtAlertPresenter.h"
#include "platform/ui/QtMainQueue.h"

namespace m2 {

int runLauncher(int argc, char** argv, const LauncherOptions& options) {
    // The arguments as the bytes they are, before Qt takes its own options out.
    const std::vector<std::string> arguments(argv, argv + argc);
    QApplication app(argc, argv);
    QApplication::setApplicationName("M2 Launcher");
    const auto queue = platform::ui::QtMainQueue::install();
    if (options.windowAlerts) {
        (void)platform::ui::QtAlertPresenter::install();
    }
    AppDelegate delegate;
    platform::ui::Application::instance().setTerminatesAfterLastWindowClosed(
        &AppDelegate::applicationShouldTerminateAfterLastWindowClosed);
    delegate.applicationDidFinishLaunching();

    OpenFileWindowController window(arguments);
    window.showWindow();
    if (options.onWindow) {
        options.onWindow(window);
    }
    const int status = QApplication::exec();
    if (window.openFileViewController().isWaiting()) {
        std::fflush(stdout);
        ::_exit(status);
    }
    return status;
}

}  // namespace m2
