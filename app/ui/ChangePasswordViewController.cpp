#include "app/ui/ChangePasswordViewController.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/library/LibraryManager.h"
#include "app/library/MainViewServices.h"
#include "app/services/Alerts.h"
#include "app/services/PasswordCredentials.h"
#include "app/services/Settings.h"
#include "app/ui/KeyfileViewController.h"
#include "app/ui/ReportControllerView.h"
#include "app/ui/SecretFields.h"
#include "app/ui/StrengthMeter.h"
#include "platform/ui/QtProgress.h"
#include "platform/ui/Storyboard.h"
#include "ui_ChangePasswordViewController.h"

namespace m2 {

ChangePasswordViewController::ChangePasswordViewController() = default;

ChangePasswordViewController::~ChangePasswordViewController() = default;

void ChangePasswordViewController::loadView() {
    ui_ = std::make_unique<Ui::ChangePasswordViewController>();
    auto* view = new QWidget;
    ui_->setupUi(view);
    newPasswordOneEdit = ui_->newPasswordOneEdit;
    newPasswordTwoEdit = ui_->newPasswordTwoEdit;
    newHintEdit = ui_->newHintEdit;
    strengthIndicatorImage = ui_->strengthIndicatorImage;
    passwordLabel = ui_->passwordLabel;
    passwordStrengthDetails = ui_->passwordStrengthDetails;
    progressLabel = ui_->progressLabel;
    progressBar = ui_->progressBar;
    cancelButton = ui_->cancelButton;
    okButton = ui_->okButton;
    keyfileButton = ui_->keyfileButton;
    setView(view);
}

void ChangePasswordViewController::viewDidLoad() {
    // Only the first field feeds the strength meter.
    connect(newPasswordOneEdit, &QLineEdit::textEdited, this, [this] { controlTextDidChange(); });
    connect(okButton, &QPushButton::clicked, this, [this] { OnOk(); });
    connect(keyfileButton, &QPushButton::clicked, this, [this] { OnNewPasswordKeyfile(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { windowCloseRequested(); });
    progressLabel->hide();
    progressBar->hide();
    controlTextDidChange();
}

void ChangePasswordViewController::viewDidAppear() {
    // Return presses OK: the default button counts only once the form sits in its sheet.
    okButton->setDefault(true);
    newPasswordOneEdit->setFocus();
}

void ChangePasswordViewController::viewWillDisappear() {
    clearSecretFields({newPasswordOneEdit, newPasswordTwoEdit});
}

void ChangePasswordViewController::controlTextDidChange() {
    showPasswordStrength(secretFieldText(newPasswordOneEdit).view(), passwordLabel,
                         strengthIndicatorImage, passwordStrengthDetails);
}

void ChangePasswordViewController::OnNewPasswordKeyfile() {
    performSegueWithIdentifier("showKeyfileFromChangePasswordNewSegue", nullptr);
}

void ChangePasswordViewController::useKeyfile(std::string_view key) {
    setSecretFieldText(newPasswordOneEdit, key);
    setSecretFieldText(newPasswordTwoEdit, key);
}

void ChangePasswordViewController::prepareForSegue(platform::ui::StoryboardSegue& segue, QObject*) {
    if (segue.identifier() == "showKeyfileFromChangePasswordNewSegue") {
        segue.destinationAs<KeyfileViewController>()->delegate = this;
    } else if (segue.identifier() == "showReportFromPasswordRestSegue") {
        if (auto* report = segue.destinationAs<ReportControllerView>()) {
            report->processReport = processReport;
            report->delegate = this;
        }
    }
}

void ChangePasswordViewController::OnOk() {
    PasswordCredentials credentials(keychain ? keychain : platform::secretServiceKeychain());
    credentials.setHint(fieldText(newHintEdit));
    credentials.setPassword(secretFieldText(newPasswordOneEdit));
    credentials.setPassword2(secretFieldText(newPasswordTwoEdit));
    const PasswordCredentials::Validation validation = credentials.Validate();
    if (!validation.result) {
        warningAlert("Error", validation.resaon);
        return;
    }
    changePassword(credentials);
}

void ChangePasswordViewController::enableItems(bool enabled) {
    for (QWidget* item :
         std::initializer_list<QWidget*>{newPasswordOneEdit, newPasswordTwoEdit, newHintEdit,
                                         cancelButton, okButton, keyfileButton}) {
        if (item != nullptr) {
            item->setEnabled(enabled);
        }
    }
}

void ChangePasswordViewController::changePassword(PasswordCredentials& credentials) {
    MainViewServices* main = mainView();
    if (main == nullptr) {
        warningAlert("Could not change password.", "The main window is not open.");
        return;
    }
    progressBar->setRange(0, 0);
    auto progress = std::make_shared<platform::ui::QtProgressIndicator>(progressBar);
    auto label = std::make_shared<platform::ui::QtTextField>(progressLabel);
    const auto refusal = MasterPasswordChange::start(
        {credentials, loggedIn != nullptr ? *loggedIn : PasswordCredentials::instance(), *main,
         libraryManager != nullptr ? *libraryManager : LibraryManager::instance(),
         Settings::instance().NotesPath(), openForEditing, progress, label,
         [sheet = QPointer<ChangePasswordViewController>(this)](const ProcessReport& report) {
             if (sheet != nullptr) {
                 sheet->runFinished(report);
             }
         }});
    if (refusal) {
        warningAlert(refusal->message, refusal->details);
        return;
    }
    running_ = true;
    enableItems(false);
    progressLabel->show();
    progressBar->show();
}

void ChangePasswordViewController::runFinished(const ProcessReport& report) {
    processReport = std::make_shared<ProcessReport>(report);
    progressLabel->hide();
    progressBar->hide();
    running_ = false;
    if (storyboard().segue("showReportFromPasswordRestSegue")) {
        performSegueWithIdentifier("showReportFromPasswordRestSegue", nullptr);
        return;
    }
    // Without a report sheet nothing would ever close this one.
    dismissController();
}

void ChangePasswordViewController::reportDismissed() {
    dismissController();
}

void ChangePasswordViewController::windowCloseRequested() {
    if (!running_) {
        dismissController();
    }
}

}  // namespace m2
