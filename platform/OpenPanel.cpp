#include "platform/OpenPanel.h"

#include "platform/Installed.h"

namespace m2::platform {
namespace {

class NoOpenPanel final : public OpenPanel {
  public:
    OpenPanelResult runModal(const OpenPanelOptions&) override { return {}; }
};

Installed<OpenPanel, NoOpenPanel> g_panel;

}  // namespace

OpenPanel& openPanel() {
    return g_panel.get();
}

std::shared_ptr<OpenPanel> setOpenPanel(std::shared_ptr<OpenPanel> panel) {
    return g_panel.install(std::move(panel));
}

}  // namespace m2::platform
