#include "app/ui/UnfinishedPasswordChange.h"

#include <QLabel>
#include <memory>

#include "app/library/RekeyingJournal.h"
#include "app/services/Alerts.h"
#include "app/services/PasswordCredentials.h"
#include "app/ui/DecryptionPasswordViewController.h"
#include "app/ui/ReportControllerView.h"
#include "platform/AlertPresenter.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/ViewController.h"

namespace m2 {
namespace {

constexpr const char* kFinishNow = "Finish Now";
constexpr const char* kLater = "Later";

bool askToFinish(const RekeyingJournal& journal) {
    platform::AlertRequest request{
        platform::AlertStyle::warning,
        unfinishedChangeMessage(journal),
        std::string("Enter your previous master password to move them to your current one. "
                    "Later leaves them as they are and asks again at your next log-on."),
        {kFinishNow, kLater}};
    const auto presenter = platform::alertPresenter();
    return presenter != nullptr && presenter->present(request) == 0;
}

}  // namespace

void UnfinishedPasswordChange::offerAtLogOn(Context context) {
    const auto journal = readRekeyingJournal(rekeyingJournalPath());
    if (!journal) {
        return;
    }
    if (journal->empty()) {
        (void)writeRekeyingJournal(rekeyingJournalPath(), *journal);
        return;
    }
    if (!askToFinish(*journal)) {
        return;
    }
    // Lives as long as the window that shows its sheets.
    auto* change = new UnfinishedPasswordChange(std::move(context));
    change->notesPending_ = !journal->notesPath.empty();
    change->askPreviousPassword();
}

UnfinishedPasswordChange::UnfinishedPasswordChange(Context context)
    : QObject(&context.presenter), context_(std::move(context)) {}

void UnfinishedPasswordChange::askPreviousPassword() {
    auto sheet = platform::ui::Storyboard::main().instantiate<DecryptionPasswordViewController>(
        DecryptionPasswordViewController::storyboardID);
    if (!sheet) {
        deleteLater();
        return;
    }
    sheet->delegate = this;
    if (QWidget* view = sheet->view()) {
        if (auto* title = view->findChild<QLabel*>("titleLabel")) {
            title->setText(sheetTitle);
        }
    }
    (void)context_.presenter.presentViewControllerAsSheet(std::move(sheet));
}

void UnfinishedPasswordChange::processFilesFromPasswordEntrySegue(
    const PasswordCredentials& credentials, CurrentProcess) {
    const QPointer<UnfinishedPasswordChange> self(this);
    const auto refusal = MasterPasswordChange::finish(
        {credentials.password(), context_.loggedIn, context_.mainView,
         rekeyingJournalPath().string(), context_.openForEditing,
         [self] {
             if (self != nullptr) {
                 warningAlert("Password incorrect",
                              "This is not your previous master password. Nothing was changed.");
                 self->askPreviousPassword();
             }
         },
         [self](const ProcessReport& report) {
             if (self != nullptr) {
                 self->finished(report);
             }
         }});
    if (refusal) {
        // Another process runs (a cloud refresh at log-on): the user may try again once it
        // is done, or cancel.
        warningAlert(refusal->message, refusal->details);
        askPreviousPassword();
    }
}

void UnfinishedPasswordChange::startDecryptAndOpenProcess(const PasswordCredentials&,
                                                          const std::string&) {}

void UnfinishedPasswordChange::finished(const ProcessReport& report) {
    if (notesPending_ && context_.notesRekeyed) {
        context_.notesRekeyed();
    }
    auto sheet =
        platform::ui::Storyboard::main().instantiate<ReportControllerView>("reportControllerView");
    if (!sheet) {
        deleteLater();
        return;
    }
    sheet->processReport = std::make_shared<const ProcessReport>(report);
    sheet->delegate = this;
    (void)context_.presenter.presentViewControllerAsSheet(std::move(sheet));
}

void UnfinishedPasswordChange::reportDismissed() {
    deleteLater();
}

}  // namespace m2
