// M2 Launcher: opens one encrypted document for editing and seals it again afterwards.
#include "M2 Launcher/LauncherApplication.h"

int main(int argc, char** argv) {
    return m2::runLauncher(argc, argv);
}
