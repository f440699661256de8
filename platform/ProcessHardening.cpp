#include "platform/ProcessHardening.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace m2::platform {

bool protectProcessMemory() {
    // The hard limit too, so nothing later in the process can raise it again.
    const rlimit none{0, 0};
    const bool noCore = ::setrlimit(RLIMIT_CORE, &none) == 0;
    const bool notDumpable = ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
    return noCore && notDumpable;
}

}  // namespace m2::platform
