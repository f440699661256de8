// Opening library entries from the main window: a plain file in its default application, an
// encrypted one handed to the launcher (with the logged-in password, or one asked for in the
// decryption sheet), the failures of that hand-off, and showing an entry's file.

#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/library/LibraryManager.h"
#include "app/services/PasswordCredentials.h"
#include "app/services/Settings.h"
#include "app/ui/DecryptionPasswordViewController.h"
#include "app/ui/DropTableView.h"
#include "app/ui/MainStoryboard.h"
#include "app/ui/projectViewController.h"
#include "guisupport/LauncherFailures.h"
#include "guisupport/LibraryWindow.h"
#include "guisupport/UiFixture.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/WindowController.h"
#include "support/LibraryTesting.h"
#include "support/RecordingWorkspace.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::LibraryManager;
using m2::projectViewController;
using m2::platform::ui::Storyboard;
using m2::platform::ui::WindowController;

namespace {

constexpr const char* kLauncher = "/opt/morvane2/m2-launcher";
constexpr const char* kMaster = "Master pass, \"$x\" 7";

}  // namespace

class OpenDocumentTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<m2::test::UiFixture> fixture_;
    std::unique_ptr<m2::test::ScopedRecordingWorkspace> desktop_;
    std::unique_ptr<LibraryManager> library_;
    std::unique_ptr<WindowController> window_;
    projectViewController* view_ = nullptr;
    fs::path files_;

    // A plain and an encrypted entry in the folder Documents/Work, as an earlier run left them.
    void seedLibrary() {
        files_ = fixture_->home() / "files";
        fs::create_directories(files_);
        m2::test::writeFile(files_ / "notes.txt", "plain");
        m2::test::writeFile(files_ / "report, \"q1\".txt.m2p", "sealed");
        LibraryManager seed;
        seed.folderManager.initItems();
        const auto work = m2::test::addDocumentsFolder(seed, "Work");
        seed.fileManager.addFilesByUrl({files_.string()}, true, work->id);
        seed.save();
    }
    [[nodiscard]] std::string path(const std::string& name) const {
        return (files_ / name).string();
    }
    void select(const std::string& name) {
        QTableView* table = view_->tableView;
        table->clearSelection();
        for (int row = 0; row < table->model()->rowCount(); ++row) {
            if (table->model()->index(row, 1).data().toString().toStdString() == name) {
                table->selectRow(row);
                return;
            }
        }
        QFAIL(qPrintable(QString::fromStdString("no entry " + name)));
    }
    [[nodiscard]] m2::DecryptionPasswordViewController* sheet() const {
        return fixture_->presentations().topSheet<m2::DecryptionPasswordViewController>();
    }

  private slots:
    void init() {
        fixture_ = std::make_unique<m2::test::UiFixture>();
        desktop_ = std::make_unique<m2::test::ScopedRecordingWorkspace>();
        seedLibrary();
        library_ = std::make_unique<LibraryManager>();
        m2::registerMainStoryboard(Storyboard::main());
        window_ = m2::test::libraryWindow(*library_, view_);
        QVERIFY(m2::test::showExposed(*window_));
        QVERIFY2(m2::test::selectFolder(*view_, "Work"), "no folder Work");
        m2::PasswordCredentials::instance().setPassword(Morvane::Security::Secret(kMaster));
    }
    void cleanup() {
        m2::PasswordCredentials::instance().setPassword(Morvane::Security::Secret(""));
        window_.reset();
        library_.reset();
        desktop_.reset();
        fixture_.reset();
    }

    // A plain entry opens in its application, whatever the sign-on setting; no sheet.
    void plainEntryOpensInItsApplication() {
        m2::Settings::instance().setSingleSignOn(false);
        select("notes.txt");
        view_->tableViewDoubleClick();
        QCOMPARE((*desktop_)->opened(), std::vector<std::string>{path("notes.txt")});
        QVERIFY((*desktop_)->launches().empty());
        QVERIFY(sheet() == nullptr);
    }

    // Single sign-on: the launcher at once, the document as its one argument and the
    // logged-in password on its standard input; the main program stays.
    void singleSignOnStartsTheLauncherWithTheMasterPassword() {
        m2::Settings::instance().setSingleSignOn(true);
        select("report, \"q1\".txt.m2p");
        view_->OpenSelectedFiles();
        const auto starts = (*desktop_)->launches();
        QCOMPARE(starts.size(), std::size_t(1));
        QCOMPARE(starts[0].launcher, fs::path(kLauncher));
        QCOMPARE(starts[0].documentPath, path("report, \"q1\".txt.m2p"));
        QCOMPARE(starts[0].password, std::string(kMaster));  // on its input, not argv
        QCOMPARE(fixture_->terminations(), 0);
        QVERIFY((*desktop_)->opened().empty());
    }

    // Without single sign-on the decryption sheet asks, in file-open mode; Cancel starts
    // nothing, OK hands the typed password to the launcher.
    void withoutSingleSignOnTheSheetAsks() {
        m2::Settings::instance().setSingleSignOn(false);
        const std::string document = path("report, \"q1\".txt.m2p");
        select("report, \"q1\".txt.m2p");
        view_->OpenSelectedFiles();
        QVERIFY(sheet() != nullptr);
        QVERIFY(sheet()->fileOpenMode);
        QCOMPARE(sheet()->fileOpenPath, document);
        QTest::mouseClick(sheet()->cancelButton, Qt::LeftButton);
        fixture_->drainMainQueue();
        QVERIFY((*desktop_)->launches().empty());

        view_->OpenSelectedFiles();
        QVERIFY(sheet() != nullptr);
        QTest::keyClicks(sheet()->passwordOneEdit, "typed, \"pw\" $HOME");
        QTest::mouseClick(sheet()->okButton, Qt::LeftButton);
        const auto starts = (*desktop_)->launches();
        QCOMPARE(starts.size(), std::size_t(1));
        QCOMPARE(starts[0].documentPath, document);
        QCOMPARE(starts[0].password, std::string("typed, \"pw\" $HOME"));
    }

    // A double-click must not end in nothing: a missing launcher or a failed start is told.
    void aLauncherThatDoesNotStartIsTold_data() { m2::test::addLauncherFailureRows(); }
    void aLauncherThatDoesNotStartIsTold() {
        QFETCH(bool, installed);
        QFETCH(QString, details);
        m2::test::failLauncher(**desktop_, installed);
        m2::Settings::instance().setSingleSignOn(true);
        select("report, \"q1\".txt.m2p");
        fixture_->expectAlert("Error", details.toStdString());
        view_->OpenSelectedFiles();
        // The road the login window takes ends the same way, and the program stays.
        fixture_->expectAlert("Error", details.toStdString());
        view_->decryptAndOpenFile(path("report, \"q1\".txt.m2p"), kMaster, true);
        QCOMPARE(fixture_->terminations(), 0);
    }

    // A plain path handed to the launcher's road starts nothing and says nothing.
    void onlyEncryptedDocumentsReachTheLauncher() {
        view_->decryptAndOpenFile(path("notes.txt"), kMaster, true);
        QVERIFY((*desktop_)->launches().empty());
        QCOMPARE(fixture_->terminations(), 0);
        view_->decryptAndOpenFile(path("report, \"q1\".txt.m2p"), kMaster, true);
        QCOMPARE((*desktop_)->launches().size(), std::size_t(1));
        QCOMPARE(fixture_->terminations(), 1);
    }

    void revealShowsTheSelectedEntryOnly() {
        view_->tableView->clearSelection();
        view_->OnShowInFinder(nullptr);
        QVERIFY((*desktop_)->revealed().empty());
        select("report, \"q1\".txt.m2p");
        view_->OnShowInFinder(nullptr);
        QCOMPARE((*desktop_)->revealed(), std::vector<std::string>{path("report, \"q1\".txt.m2p")});
        QVERIFY((*desktop_)->launches().empty());
    }
};

M2_GUI_TEST_MAIN(OpenDocumentTest)
#include "open_document_gui_test.moc"
