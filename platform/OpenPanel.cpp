#include "platform/OpenPanel.h"

#include <sys/stat.h>

#include "platform/Environment.h"
#include "platform/Installed.h"
#include "platform/Paths.h"

namespace m2::platform {
namespace {

class NoOpenPanel final : public OpenPanel {
  public:
    OpenPanelResult runModal(const OpenPanelOptions&) override { return {}; }
};

Installed<OpenPanel, NoOpenPanel> g_panel;
std::string g_lastFolder;

bool isFolder(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

OpenPanel& openPanel() {
    return g_panel.get();
}

std::shared_ptr<OpenPanel> setOpenPanel(std::shared_ptr<OpenPanel> panel) {
    return g_panel.install(std::move(panel));
}

std::string panelStartFolder() {
    if (isFolder(g_lastFolder)) {
        return g_lastFolder;
    }
    if (const std::string documents = documentsFolder().string(); isFolder(documents)) {
        return documents;
    }
    return environmentValue("HOME").value_or(std::string());
}

void rememberPanelFolder(const std::string& folder) {
    g_lastFolder = folder;
}

}  // namespace m2::platform
