#include "platform/OpenPanel.h"

#include "platform/ServiceSlot.h"

namespace m2::platform {
namespace {

ServiceSlot<OpenPanel> g_panel;

}  // namespace

void setOpenPanel(std::shared_ptr<OpenPanel> panel) {
    g_panel.set(std::move(panel));
}

std::shared_ptr<OpenPanel> openPanel() {
    return g_panel.get();
}

OpenPanelResult runOpenPanel(const OpenPanelOptions& options) {
    if (const auto panel = openPanel()) {
        return panel->runModal(options);
    }
    return {};
}

}  // namespace m2::platform
