#pragma once

#include <memory>
#include <optional>
#include <string>

namespace m2 {

// Finding and starting the launcher on one document. The program uses the hand-off
// services; window tests install a spy that starts nothing.
class LauncherHandOff {
  public:
    virtual ~LauncherHandOff() = default;
    // The launcher program; absent when it is not installed.
    [[nodiscard]] virtual std::optional<std::string> findLauncher() = 0;
    // Starts it on the document with the password on its standard input; answers empty
    // text when it started, else the system's reason in a sentence.
    [[nodiscard]] virtual std::string startLauncher(const std::string& launcher,
                                                    const std::string& document,
                                                    const std::string& password) = 0;
};

// The hand-off in use.
[[nodiscard]] LauncherHandOff& launcherHandOff();
// Answers the previous one; nullptr goes back to the hand-off services.
std::shared_ptr<LauncherHandOff> setLauncherHandOff(std::shared_ptr<LauncherHandOff> replacement);

}  // namespace m2
