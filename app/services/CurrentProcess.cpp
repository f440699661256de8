#include "app/services/CurrentProcess.h"

namespace m2 {
namespace {

struct Texts {
    const char* label;
    const char* icon;
    const char* busy;
};

Texts textsOf(CurrentProcess process) {
    switch (process) {
        case CurrentProcess::idel:
            return {"", "", ""};
        case CurrentProcess::refreshingCloud:
            return {"", "", "Morvane 2 is currently refreshing your Cloud files, please wait."};
        case CurrentProcess::shredding:
            return {"Shredding files...", "shred-32",
                    "Morvane 2 is currently shredding files. Please wait until the current shred "
                    "process has completed and try again"};
        case CurrentProcess::encrypting:
            return {"Encrypting files...", "lock-32",
                    "Morvane 2 is currently encrypting files. Please wait until the current "
                    "encryption process has completed and try again."};
        case CurrentProcess::decrypting:
            return {"Decrypting files...", "key-32",
                    "Morvane 2 is currently decrypting files. Please wait until the current "
                    "decryption process has completed and try again."};
        case CurrentProcess::addingFiles:
            return {"", "", "Morvane 2 is currently adding files to your library."};
        case CurrentProcess::changePassword:
            return {"Changing password", "", "Changing password"};
    }
    return {"", "", ""};
}

}  // namespace

std::string progressLabel(CurrentProcess process) {
    return textsOf(process).label;
}
std::string progressIcon(CurrentProcess process) {
    return textsOf(process).icon;
}
std::string asString(CurrentProcess process) {
    return textsOf(process).busy;
}

}  // namespace m2
