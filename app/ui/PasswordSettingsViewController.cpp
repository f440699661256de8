#include "app/ui/PasswordSettingsViewController.h"

#include <QCheckBox>
#include <QPushButton>

#include "app/services/Settings.h"
#include "ui_PasswordSettingsViewController.h"

namespace m2 {

PasswordSettingsViewController::PasswordSettingsViewController() = default;

PasswordSettingsViewController::~PasswordSettingsViewController() = default;

void PasswordSettingsViewController::loadView() {
    ui_ = std::make_unique<Ui::PasswordSettingsViewController>();
    auto* view = new QWidget;
    ui_->setupUi(view);
    multiSignCheck = ui_->multiSignCheck;
    singleSignCheck = ui_->singleSignCheck;
    saveButton = ui_->saveButton;
    setView(view);
}

void PasswordSettingsViewController::viewDidLoad() {
    const bool single = Settings::instance().SingleSignOn();
    singleSignCheck->setChecked(single);
    multiSignCheck->setChecked(!single);
    // clicked, not toggled: only the user's click clears the other box.
    connect(multiSignCheck, &QCheckBox::clicked, this, [this] { OnMultiSignOn(); });
    connect(singleSignCheck, &QCheckBox::clicked, this, [this] { OnSingleSignon(); });
    connect(saveButton, &QPushButton::clicked, this, [this] { OnSave(); });
}

void PasswordSettingsViewController::viewDidAppear() {
    // Return presses Save: the default button counts only once the form sits in its sheet.
    saveButton->setDefault(true);
}

void PasswordSettingsViewController::OnMultiSignOn() {
    singleSignCheck->setChecked(false);
}

void PasswordSettingsViewController::OnSingleSignon() {
    multiSignCheck->setChecked(false);
}

void PasswordSettingsViewController::OnSave() {
    Settings::instance().setSingleSignOn(singleSignCheck->isChecked());
    dismissController();
}

}  // namespace m2
