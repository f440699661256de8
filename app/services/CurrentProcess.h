#pragma once

#include <string>

namespace m2 {

// The one long-running process the main application may run; `idel` when none runs.
enum class CurrentProcess {
    idel,
    refreshingCloud,
    shredding,
    encrypting,
    decrypting,
    addingFiles,
    changePassword,
};

// Title of the progress panel.
[[nodiscard]] std::string progressLabel(CurrentProcess process);
// Image shown beside the progress title; empty for none.
[[nodiscard]] std::string progressIcon(CurrentProcess process);
// The refusal shown when the user starts something while this process runs.
[[nodiscard]] std::string asString(CurrentProcess process);

}  // namespace m2
