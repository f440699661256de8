#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <string>

#include "app/library/PasswordRekeying.h"
#include "app/ui/PasswordEntryDelegate.h"
#include "app/ui/ShowReportDelegate.h"

namespace m2 {

class MainViewServices;
class PasswordCredentials;

namespace platform::ui {
class ViewController;
}

// A change of the master password that was stopped before every document was re-keyed, found
// at log-on through its journal: told, and finished now with the previous password (asked in
// the password sheet, tried on a pending document before anything is written) or left for
// the next log-on. Main thread only.
class UnfinishedPasswordChange : public QObject,
                                 public PasswordEntryDelegate,
                                 public ShowReportDelegate {
    Q_OBJECT

  public:
    struct Context {
        platform::ui::ViewController& presenter;  // shows the sheets
        MainViewServices& mainView;               // holds the one running process
        PasswordCredentials& loggedIn;            // the password the documents move to
        OpenForEditing openForEditing;
        std::function<void()> notesRekeyed;  // the notes file now opens with the password
    };

    // The title of the password sheet.
    static constexpr const char* sheetTitle = "Enter your previous master password";

    // At the end of a log-on: when a journal is there, tells what it names and offers to
    // finish. Does nothing otherwise.
    static void offerAtLogOn(Context context);

    explicit UnfinishedPasswordChange(Context context);

    // Asks for the previous password.
    void askPreviousPassword();

    // PasswordEntryDelegate: the sheet's password.
    void processFilesFromPasswordEntrySegue(const PasswordCredentials& credentials,
                                            CurrentProcess process) override;
    void startDecryptAndOpenProcess(const PasswordCredentials& credentials,
                                    const std::string& path) override;
    // ShowReportDelegate: the report of the finished run was closed.
    void reportDismissed() override;

  private:
    void finished(const ProcessReport& report);

    Context context_;
    bool notesPending_ = false;
};

}  // namespace m2
