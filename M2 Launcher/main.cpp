// M2 Launcher: opens one encrypted document for editing and seals it again afterwards.
#include <cstdio>

#include "M2 Launcher/LauncherApplication.h"
#include "platform/ProcessHardening.h"

int main(int argc, char** argv) {
#ifdef M2_HARDEN
    // Before the password is read from the pipe.
    if (!m2::platform::protectProcessMemory()) {
        std::perror("M2 Launcher: could not protect its memory");
    }
#endif
    return m2::runLauncher(argc, argv);
}
