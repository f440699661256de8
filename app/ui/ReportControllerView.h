#pragma once

#include <QPointer>
#include <memory>
#include <string>
#include <utility>

#include "app/services/ProcessReport.h"
#include "platform/ui/ViewController.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace Ui {
class ReportView;
}

namespace m2 {

class ShowReportDelegate;

// The sheet that closes every batch: an outcome icon, a title, a summary, the time taken and
// the files that failed with their reasons; help when a failure was a wrong password. It
// reads the report once, when it loads, and never changes it. Main thread only.
class ReportControllerView : public platform::ui::ViewController {
    Q_OBJECT

  public:
    // The engine's message for a wrong password, trailing blank included.
    static constexpr const char* passwordIncorrect = "Password incorrect ";
    // How much smaller the sheet is when nothing failed.
    static constexpr int shrinkWidth = 100;
    static constexpr int shrinkHeight = 240;

    ReportControllerView();
    ~ReportControllerView() override;

    // Set by the presenter before the view loads; without one the sheet shows empty texts.
    std::shared_ptr<const ProcessReport> processReport;
    ShowReportDelegate* delegate = nullptr;

    // Outlets, present once the view has loaded.
    QPointer<QLabel> titleMessage;
    QPointer<QLabel> titleDetails;
    QPointer<QTableWidget> errorTableView;
    QPointer<QLabel> iconState;
    QPointer<QWidget> errorListView;
    QPointer<QLabel> errorLabel;
    QPointer<QLabel> timerLabel;
    QPointer<QPushButton> invalidPasswordButton;
    QPointer<QPushButton> closeButton;

    void viewDidLoad() override;
    void viewWillAppear() override;
    void OnInvalidPasswordHelp();
    void OnClose();
    void windowCloseRequested() override { OnClose(); }
    // The outcome picture shown; empty while the layout's stays.
    [[nodiscard]] const std::string& iconName() const { return iconName_; }
    // Makes the sheet smaller when there is no failure list to show.
    void resize();

    // The failure table: rows, and the cell identifier and text of a column and row.
    [[nodiscard]] int numberOfRowsInTableView() const;
    [[nodiscard]] std::pair<std::string, std::string> cellFor(int column, int row) const;

    // "Time taken: ..." for a number of seconds.
    [[nodiscard]] static std::string printSecondsToHoursMinutesSeconds(double seconds);
    // The title and summary for a report's counts and process.
    struct Texts {
        std::string title;
        std::string summary;
        std::string icon;  // empty: the icon is left as the layout has it
    };
    [[nodiscard]] static Texts textsFor(std::size_t succeeded, std::size_t failed,
                                        CurrentProcess process);

  protected:
    void loadView() override;

  private:
    void showResults();

    std::unique_ptr<Ui::ReportView> ui_;
    std::string iconName_;
    bool shrunk_ = false;
};

}  // namespace m2
