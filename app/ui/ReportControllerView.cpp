#include "app/ui/ReportControllerView.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "app/services/Alerts.h"
#include "app/ui/ShowReportDelegate.h"
#include "platform/ui/Images.h"
#include "ui_ReportControllerView.h"

namespace m2 {
namespace {

// A count and its noun: "1 file", "3 files".
std::string files(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " file" : " files");
}

// Fifteen significant digits, trailing zeros dropped, a whole number with ".0".
std::string number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", value);
    std::string written(text);
    if (written.find_first_of(".einf") == std::string::npos) {
        written += ".0";
    }
    return written;
}

// To three decimals, halves away from zero.
double thousandths(double value) {
    return std::round(value * 1000) / 1000;
}

QString qText(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

ReportControllerView::ReportControllerView() = default;

ReportControllerView::~ReportControllerView() = default;

void ReportControllerView::loadView() {
    ui_ = std::make_unique<Ui::ReportView>();
    auto* view = new QWidget;
    ui_->setupUi(view);
    view->setFixedSize(view->size());
    titleMessage = ui_->titleMessage;
    titleDetails = ui_->titleDetails;
    errorTableView = ui_->errorTableView;
    iconState = ui_->iconState;
    errorListView = ui_->errorListView;
    errorLabel = ui_->errorLabel;
    timerLabel = ui_->timerLabel;
    invalidPasswordButton = ui_->invalidPasswordButton;
    closeButton = ui_->closeButton;
    setView(view);
}

void ReportControllerView::viewDidLoad() {
    connect(closeButton, &QPushButton::clicked, this, [this] { OnClose(); });
    connect(invalidPasswordButton, &QPushButton::clicked, this,
            [this] { OnInvalidPasswordHelp(); });
    showResults();
    invalidPasswordButton->hide();

    const int rows = numberOfRowsInTableView();
    if (rows == 0) {
        errorListView->hide();
        errorLabel->hide();
        return;
    }
    errorListView->show();
    errorLabel->show();
    errorTableView->setRowCount(rows);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < errorTableView->columnCount(); ++column) {
            errorTableView->setItem(row, column,
                                    new QTableWidgetItem(qText(cellFor(column, row).second)));
        }
        if (processReport->failure()[std::size_t(row)].reason == passwordIncorrect) {
            invalidPasswordButton->show();
        }
    }
    errorTableView->verticalHeader()->hide();
    errorTableView->horizontalHeader()->setStretchLastSection(true);
    errorTableView->resizeColumnToContents(0);
}

void ReportControllerView::viewWillAppear() {
    // Once: the sheet appears again after a lock hid it.
    if (numberOfRowsInTableView() == 0 && !shrunk_) {
        shrunk_ = true;
        resize();
    }
}

void ReportControllerView::resize() {
    // The window follows its content's fixed size; where it is placed is the window
    // manager's to keep.
    QWidget* content = view();
    content->setFixedSize(content->width() - shrinkWidth, content->height() - shrinkHeight);
    if (QWidget* host = window(); host != nullptr && host->layout() != nullptr) {
        host->layout()->activate();
        host->adjustSize();
    }
}

int ReportControllerView::numberOfRowsInTableView() const {
    return processReport ? int(processReport->failure().size()) : 0;
}

std::pair<std::string, std::string> ReportControllerView::cellFor(int column, int row) const {
    if (!processReport || row < 0 || std::size_t(row) >= processReport->failure().size()) {
        return {};
    }
    const Result& failed = processReport->failure()[std::size_t(row)];
    if (column == 0) {
        return {"filename", std::filesystem::path(failed.path).filename().string()};
    }
    if (column == 1) {
        return {"reason", failed.reason};
    }
    return {};
}

void ReportControllerView::showResults() {
    if (!processReport) {
        titleMessage->clear();
        titleDetails->clear();
        return;
    }
    if (processReport->timeInterval() != 0) {
        timerLabel->show();
        timerLabel->setText(
            qText(printSecondsToHoursMinutesSeconds(processReport->timeInterval())));
    }
    const Texts texts = textsFor(processReport->success().size(), processReport->failure().size(),
                                 processReport->currentProcess());
    if (!texts.icon.empty()) {
        iconName_ = texts.icon;
        iconState->setPixmap(platform::ui::pixmapNamed(texts.icon, QSize(48, 48)));
    }
    titleMessage->setText(qText(texts.title));
    titleDetails->setText(qText(texts.summary));
}

ReportControllerView::Texts ReportControllerView::textsFor(std::size_t succeeded,
                                                           std::size_t failed,
                                                           CurrentProcess process) {
    using P = CurrentProcess;
    const std::string S = files(succeeded);
    const std::string F = files(failed);
    if (succeeded > 0 && failed == 0) {
        const std::string title = "Success.";
        const std::string icon = "ok_button";
        switch (process) {
            case P::encrypting:
                return {title, S + " encrypted", icon};
            case P::decrypting:
                return {title, S + " decrypted", icon};
            case P::changePassword:
                return {title, "Master password and all encrypted files changed.", icon};
            case P::shredding:
                return {title, S + " shredded!", icon};
            default:
                return {title, "", icon};
        }
    }
    if (succeeded > 0) {
        const std::string title = "Could not process all items.";
        const std::string icon = "warning";
        switch (process) {
            case P::encrypting:
                return {title, F + " failed to encrypt, " + S + " succesfully encrypted.", icon};
            case P::decrypting:
                return {title, F + " failed to decrypt, " + S + " succesfully decrypted.", icon};
            case P::changePassword:
                return {
                    title,
                    "Master password changed. " + S + " succesfully changed. Failed to change " + F,
                    icon};
            case P::shredding:
                return {title, F + " failed to shred, " + S + " succesfully shredded.", icon};
            default:
                return {title, "", icon};
        }
    }
    if (failed > 0) {
        const std::string icon = "delete_button_error";
        switch (process) {
            case P::encrypting:
                return {"Encryption failed.", F + " failed to encrypt.", icon};
            case P::decrypting:
                return {"Decryption failed.", F + " failed to decrypt.", icon};
            case P::changePassword:
                return {"", "Master password changed. Failed to change " + F, icon};
            case P::shredding:
                return {"Shredding failed.", F + " failed to shred.", icon};
            default:
                return {"", "", icon};
        }
    }
    return {};
}

std::string ReportControllerView::printSecondsToHoursMinutesSeconds(double seconds) {
    double wholeHours = 0;
    const double hourFraction = std::modf(seconds / 3600, &wholeHours);
    double wholeMinutes = 0;
    const double rest = std::modf(hourFraction * 60, &wholeMinutes);
    const double hours = thousandths(wholeHours);
    const double minutes = thousandths(wholeMinutes);
    const double secs = thousandths(rest * 60);
    if (hours > 0) {
        return "Time taken: " + number(hours) + " Hours, " + number(minutes) + " Minutes, " +
               number(secs) + " Seconds";
    }
    if (minutes > 0) {
        return "Time taken: " + number(minutes) + " Minutes, " + number(secs) + " Seconds";
    }
    return "Time taken: " + number(secs) + " Seconds";
}

void ReportControllerView::OnInvalidPasswordHelp() {
    warningAlert("Invalid passwords?",
                 "Your master password is not the password used to encrypt some of your files. "
                 "To enter a new password:\n"
                 "\n"
                 "1) Click the Settings button on your toolbar (⌘,) \n"
                 "2) Click 'Password settings'\n"
                 "3) Select 'I use multiple passwords' and click 'Save'\n"
                 "\n"
                 "You will now be asked for a password when you decrypt your files.");
}

void ReportControllerView::OnClose() {
    if (delegate != nullptr) {
        delegate->reportDismissed();
    }
    dismissController();
}

}  // namespace m2
