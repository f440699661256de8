#pragma once

#include <QPointer>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/ui/ViewController.h"

class QCheckBox;
class QComboBox;
class QPushButton;

namespace Ui {
class SettingsViewController;
}

namespace m2 {

// The general settings sheet: encrypted file names, hidden extensions and the idle log-off
// period; its buttons open the sign-on settings and the change of the master password, so
// both are refused with it while a process runs. Main thread only.
class SettingsViewController : public platform::ui::ViewController {
    Q_OBJECT

  public:
    // The log-off periods in the order of the combo box; the raw value is the item index.
    enum class timeoutPeriod : int {
        never = 0,
        oneMinute = 1,
        twoMinutes = 2,
        fiveMinutes = 3,
        tenMinutes = 4,
        twentyMinutes = 5,
        thirtyMinutes = 6,
        oneHour = 7,
    };
    // Only 0 to 7 name a period.
    [[nodiscard]] static std::optional<timeoutPeriod> periodFromRawValue(std::int64_t rawValue);
    // Seconds until log-off; -1 for never.
    [[nodiscard]] static std::int64_t toTime(timeoutPeriod period);

    SettingsViewController();
    ~SettingsViewController() override;

    // Outlets, present once the view has loaded.
    QPointer<QCheckBox> encryptFilenames;
    QPointer<QCheckBox> hideExtensions;
    QPointer<QComboBox> logoffPeriodCombo;
    QPointer<QPushButton> passwordSettingsButton;
    QPointer<QPushButton> changePasswordButton;
    QPointer<QPushButton> saveButton;

    std::optional<timeoutPeriod> period;

    void viewDidLoad() override;
    void viewDidAppear() override;
    void OnSave();

  protected:
    void loadView() override;

  private:
    // The combo index that shows this idle limit (-1: never), adding an entry when needed.
    int shownPeriodIndex(std::int64_t lockLimit);

    std::unique_ptr<Ui::SettingsViewController> ui_;
};

}  // namespace m2
