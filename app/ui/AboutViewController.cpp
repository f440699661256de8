#include "app/ui/AboutViewController.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

#include "app/ui/AppDelegate.h"
#include "platform/Workspace.h"
#include "platform/ui/Images.h"
#include "platform/ui/KitWindows.h"
#include "ui_AboutViewController.h"

namespace m2 {

AboutViewController::AboutViewController() = default;

AboutViewController::~AboutViewController() = default;

void AboutViewController::loadView() {
    auto* view = new QWidget;
    ui_ = std::make_unique<Ui::AboutViewController>();
    ui_->setupUi(view);
    versionLabel = ui_->versionLabel;
    ui_->appIcon->setPixmap(platform::ui::pixmapNamed("morvane2", QSize(96, 96)));
    connect(ui_->viewHelpButton, &QPushButton::clicked, this, [this] { OnViewHelp(this); });
    setView(view);
}

void AboutViewController::viewDidLoad() {
    if (versionLabel != nullptr) {
        versionLabel->setText("Version: " + QCoreApplication::applicationVersion());
    }
}

void AboutViewController::OnViewHelp(QObject*) {
    (void)platform::workspace().openURL(AppDelegate::helpPage);
}

AboutWindowController::AboutWindowController() {
    setContentViewController(std::make_unique<AboutViewController>());
}

void AboutWindowController::windowDidLoad() {
    window()->adjustSize();
    window()->setFixedSize(window()->size());
}

void AboutWindowController::loadWindow() {
    auto* window = new platform::ui::KitWindow(this);
    window->setWindowTitle("Morvane 2 Riravevovavi");
    setWindow(window);
}

}  // namespace m2
