#include "app/ui/AboutViewController.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <algorithm>

#include "app/ui/AppDelegate.h"
#include "platform/Workspace.h"
#include "platform/ui/Application.h"
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
    QMainWindow* about = window();
    about->adjustSize();
    about->setFixedSize(about->size());
    // Over the window it was opened from, not wherever the window system puts a new window;
    // on the screen when no window of ours is up.
    const QWidget* anchor = platform::ui::Application::instance().mainWindow();
    const QScreen* screen = anchor != nullptr ? anchor->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect();
    QRect frame(QPoint(), about->size());
    frame.moveCenter(anchor != nullptr ? anchor->frameGeometry().center() : area.center());
    if (area.isValid()) {
        frame.moveLeft(std::clamp(frame.left(), area.left(),
                                  std::max(area.left(), area.right() - frame.width())));
        frame.moveTop(std::clamp(frame.top(), area.top(),
                                 std::max(area.top(), area.bottom() - frame.height())));
    }
    about->move(frame.topLeft());
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), about);
    connect(escape, &QShortcut::activated, about, &QWidget::close);
}

void AboutWindowController::loadWindow() {
    auto* window = new platform::ui::KitWindow(this);
    window->setWindowTitle("Morvane 2 Riravevovavi");
    setWindow(window);
}

}  // namespace m2
