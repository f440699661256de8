// Prints the launcher the program would start, found from wherever this probe lies (as the
// installed program finds it), or "none".
#include <cstdio>

#include "platform/Launcher.h"

int main() {
    const auto launcher = m2::platform::findLauncher();
    std::printf("%s\n", launcher ? launcher->c_str() : "none");
    return 0;
}
