#include "app/ui/SettingsViewController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <algorithm>
#include <array>

#include "app/services/SessionManager.h"
#include "app/services/Settings.h"
#include "ui_SettingsViewController.h"

namespace m2 {
namespace {

// A limit no entry names, in the entries' own words: "3 minutes", "90 seconds".
QString limitText(std::int64_t seconds) {
    seconds = std::max<std::int64_t>(seconds, 0);
    const auto counted = [](std::int64_t count, const char* unit) {
        return QString::number(count) + " " + unit + (count == 1 ? "" : "s");
    };
    if (seconds != 0 && seconds % 3600 == 0) {
        return counted(seconds / 3600, "hour");
    }
    if (seconds != 0 && seconds % 60 == 0) {
        return counted(seconds / 60, "minute");
    }
    return counted(seconds, "second");
}

}  // namespace

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
    period = periodFromRawValue(settings.TimeoutPeriod());
    logoffPeriodCombo->setCurrentIndex(shownPeriodIndex(SessionManager::storedLockLimit()));
    encryptFilenames->setChecked(settings.EncryptFilenames());
    hideExtensions->setChecked(settings.HideFileExtensions());

    connect(saveButton, &QPushButton::clicked, this, [this] { OnSave(); });
    connect(passwordSettingsButton, &QPushButton::clicked, this,
            [this] { performSegueWithIdentifier("showPasswordSettingsSegue", nullptr); });
    connect(changePasswordButton, &QPushButton::clicked, this,
            [this] { performSegueWithIdentifier("showChangePasswordSegue", nullptr); });
}

int SettingsViewController::shownPeriodIndex(std::int64_t lockLimit) {
    // The entry shown is what the idle lock will do, also where the stored period and limit
    // disagree (as in settings files seeded with a limit but the period "never").
    for (int index = 0; index <= 7; ++index) {
        if (toTime(static_cast<timeoutPeriod>(index)) == lockLimit) {
            return index;
        }
    }
    // A limit no period names gets an entry of its own; it is no period, so Save with it
    // chosen keeps the stored pair.
    logoffPeriodCombo->addItem(limitText(lockLimit));
    return logoffPeriodCombo->count() - 1;
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
