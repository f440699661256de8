// Runs one desktop operation of the platform layer in a fresh process, so a test can give it
// an environment of its own before the first GIO call, and prints the answer as
// "name=value" lines.
//   desktop_probe open-and-wait PATH
//   desktop_probe reveal PATH
//   desktop_probe start-launcher LAUNCHER DOCUMENT   (the password comes in $M2_TEST_PASSWORD)
//   desktop_probe find-launcher
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Launcher.h"
#include "platform/Workspace.h"

using namespace m2::platform;

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    GioWorkspace desktop;
    if (command == "open-and-wait" && argc == 3) {
        const WaitedApplication waited = desktop.openFileAndWait(argv[2]);
        std::printf("outcome=%d\nexit=%d\nsignal=%d\nms=%lld\nmessage=%s\n",
                    static_cast<int>(waited.outcome), waited.exitCode, waited.signal,
                    static_cast<long long>(waited.runTime.count()), waited.message.c_str());
    } else if (command == "reveal" && argc == 3) {
        std::printf("revealed=%d\n", desktop.revealFile(argv[2]) ? 1 : 0);
    } else if (command == "start-launcher" && argc == 4) {
        const char* password = std::getenv("M2_TEST_PASSWORD");
        const LaunchResult started =
            desktop.startLauncher(argv[2], argv[3], password != nullptr ? password : "");
        std::printf("pid=%d\nerror=%d\nmessage=%s\n", static_cast<int>(started.pid), started.error,
                    started.message.c_str());
    } else if (command == "find-launcher" && argc == 2) {
        const auto found = desktop.launcherLocation();
        std::printf("launcher=%s\n", found ? found->c_str() : "");
    } else {
        std::fprintf(stderr,
                     "usage: desktop_probe open-and-wait|reveal|start-launcher|find-launcher\n");
        return 64;
    }
    std::fflush(stdout);
    return 0;
}
