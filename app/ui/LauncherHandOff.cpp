#include "app/ui/LauncherHandOff.h"

#include <utility>

namespace m2 {
namespace {

class ServicesHandOff final : public LauncherHandOff {
  public:
    std::optional<std::string> findLauncher() override { return std::nullopt; }
    std::string startLauncher(const std::string&, const std::string&, const std::string&) override {
        return "The launcher could not be started.";
    }
};

std::shared_ptr<LauncherHandOff>& installed() {
    static std::shared_ptr<LauncherHandOff> handOff;
    return handOff;
}

}  // namespace

LauncherHandOff& launcherHandOff() {
    static ServicesHandOff services;
    const std::shared_ptr<LauncherHandOff>& replacement = installed();
    return replacement ? *replacement : services;
}

std::shared_ptr<LauncherHandOff> setLauncherHandOff(std::shared_ptr<LauncherHandOff> replacement) {
    return std::exchange(installed(), std::move(replacement));
}

}  // namespace m2
