#include "app/ui/LauncherHandOff.h"

#include <filesystem>
#include <optional>

#include "app/library/SecurityManager.h"
#include "app/services/Alerts.h"
#include "platform/Workspace.h"

namespace m2 {

bool startLauncherForDocument(const std::string& file, std::string_view password) {
    if (!SecurityManager::fileIsEncrypted(file)) {
        return false;
    }
    platform::Workspace& desktop = platform::workspace();
    const std::optional<std::filesystem::path> launcher = desktop.launcherLocation();
    if (!launcher) {
        warningAlert("Error", "Could not find M2Launcher.app");
        return false;
    }
    const platform::LaunchResult started = desktop.startLauncher(*launcher, file, password);
    if (!started) {
        warningAlert("Error", started.message);
        return false;
    }
    return true;
}

}  // namespace m2
