#include "app/ui/ResetMasterPasswordViewController.h"

#include <QPushButton>

#include "app/ui/SetupViewController.h"
#include "platform/ui/Images.h"
#include "ui_ResetMasterPasswordViewController.h"

namespace m2 {

ResetMasterPasswordViewController::ResetMasterPasswordViewController() = default;

ResetMasterPasswordViewController::~ResetMasterPasswordViewController() = default;

void ResetMasterPasswordViewController::loadView() {
    ui_ = std::make_unique<Ui::ResetMasterPasswordView>();
    auto* view = new QWidget;
    ui_->setupUi(view);
    resetButton = ui_->resetButton;
    cancelButton = ui_->cancelButton;
    ui_->warningImage->setPixmap(platform::ui::pixmapNamed("warning", QSize(48, 48)));
    setView(view);
}

void ResetMasterPasswordViewController::viewDidLoad() {
    connect(resetButton, &QPushButton::clicked, this, [this] { OnResetPassword(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { dismissController(); });
}

void ResetMasterPasswordViewController::OnResetPassword() {
    performSegueWithIdentifier("resetMasterPasswordSegue", nullptr);
}

void ResetMasterPasswordViewController::prepareForSegue(platform::ui::StoryboardSegue& segue,
                                                        QObject*) {
    if (segue.identifier() == "resetMasterPasswordSegue") {
        auto* setup = segue.destinationAs<SetupViewController>();
        setup->delegate = this;
        setup->resetMode = true;
    }
}

void ResetMasterPasswordViewController::reset() {
    dismissController();
}

}  // namespace m2
