#include "app/ui/SettingsViewController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <array>

#include "app/services/SessionManager.h"
#include "app/services/Settings.h"
#include "ui_SettingsViewController.h"

namespace m2 {

std::optional<SettingsViewController::timeoutPeriod> SettingsViewController::periodFromRawValue(
    std::int64_t rawValue) {
    if (rawValue < 0 || rawValue > 7) {
        return std::nullopt;
    }
    return static_cast<timeoutPeriod>(rawValue);
}

std::int64_t SettingsViewController::toTime(timeoutPeriod period) {
    static constexpr std::array<std::int64_t, 8> seconds{-1, 60, 120, 300, 600, 1200, 1800, 3600};
    return seconds.at(static_cast<std::size_t>(period));
}

SettingsViewController::SettingsViewController() = default;

SettingsViewController::~SettingsViewController() = default;

void SettingsViewController::loadView() {
    ui_ = std::make_unique<Ui::SettingsViewController>();
    auto* view = new QWidget;
    ui_->setupUi(view);
    encryptFilenames = ui_->encryptFilenames;
    hideExtensions = ui_->hideExtensions;
    logoffPeriodCombo = ui_->logoffPeriodCombo;
    passwordSettingsButton = ui_->passwordSettingsButton;
    changePasswordButton = ui_->changePasswordButton;
    saveButton = ui_->saveButton;
    setView(view);
}

void SettingsViewController::viewDidLoad() {
    const Settings& settings = Settings::instance();
    const std::int64_t stored = settings.TimeoutPeriod();
    period = periodFromRawValue(stored);
    // A stored number that names no period shows no selection.
    logoffPeriodCombo->setCurrentIndex(period ? static_cast<int>(stored) : -1);
    encryptFilenames->setChecked(settings.EncryptFilenames());
    hideExtensions->setChecked(settings.HideFileExtensions());

    connect(saveButton, &QPushButton::clicked, this, [this] { OnSave(); });
    connect(passwordSettingsButton, &QPushButton::clicked, this,
            [this] { performSegueWithIdentifier("showPasswordSettingsSegue", nullptr); });
    connect(changePasswordButton, &QPushButton::clicked, this,
            [this] { performSegueWithIdentifier("showChangePasswordSegue", nullptr); });
}

void SettingsViewController::viewDidAppear() {
    // Return presses Save: the default button counts only once the form sits in its sheet.
    saveButton->setDefault(true);
    if (QWidget* sheet = window()) {
        sheet->setWindowTitle("Morvane 2 Riravevovavi");
    }
}

void SettingsViewController::OnSave() {
    const Settings& settings = Settings::instance();
    // Without a chosen period the stored one stays; the check boxes are saved all the same.
    if (const auto chosen = periodFromRawValue(logoffPeriodCombo->currentIndex())) {
        period = chosen;
        SessionManager& session = SessionManager::instance();
        session.setTimeout(toTime(*chosen));
        session.setActive(*chosen != timeoutPeriod::never);
        session.save();
        settings.setTimeoutPeriod(static_cast<std::int64_t>(*chosen));
    }
    settings.setEncryptFilenames(encryptFilenames->isChecked());
    settings.setHideFileExtensions(hideExtensions->isChecked());
    dismissController();
}

}  // namespace m2
