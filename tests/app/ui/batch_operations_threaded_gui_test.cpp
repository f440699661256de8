// Encrypt, decrypt and shred batches of the main controller over a library of real files,
// with the real engine: admission and refusals, the password sheets, the worker on its
// snapshot, cancel, documents open for editing, the saved library and the report sheet.
// Also run under ThreadSanitizer.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "M2 Launcher/OpenFiles/OpenFileManager.h"
#include "app/library/LibraryManager.h"
#include "app/library/SecurityManager.h"
#include "app/services/CurrentProcess.h"
#include "app/services/PasswordCredentials.h"
#include "app/services/Settings.h"
#include "app/ui/DecryptionPasswordViewController.h"
#include "app/ui/DropTableView.h"
#include "app/ui/MainStoryboard.h"
#include "app/ui/PasswordController.h"
#include "app/ui/ReportControllerView.h"
#include "app/ui/projectViewController.h"
#include "guisupport/LibraryWindow.h"
#include "guisupport/Screenshot.h"
#include "guisupport/SecretTyping.h"
#include "guisupport/UiFixture.h"
#include "platform/AlertPresenter.h"
#include "platform/FileDescriptor.h"
#include "platform/ui/QtAlertPresenter.h"
#include "platform/ui/QtProgress.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/WindowController.h"
#include "support/LibraryTesting.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::CurrentProcess;
using m2::LibraryManager;
using m2::projectViewController;
using m2::ReportControllerView;
using m2::platform::ui::Storyboard;
using m2::platform::ui::WindowController;
using Names = std::vector<std::string>;

namespace {

constexpr const char* masterPassword = "Correct horse 7";

std::string contentOf(const std::string& name) {
    return "contents of " + name + std::string(3000, 'x');
}

}  // namespace

class BatchOperationsTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<m2::test::UiFixture> fixture_;
    std::unique_ptr<LibraryManager> library_;
    std::unique_ptr<WindowController> window_;
    projectViewController* view_ = nullptr;
    fs::path files_;

    // A library folder "Work" holding `count` real files, "doc 0.txt" ... in name order.
    void seedLibrary(int count) {
        files_ = fixture_->home() / "files";
        fs::create_directories(files_ / "work");
        for (int n = 0; n < count; ++n) {
            const std::string name = "doc " + std::to_string(n) + ".txt";
            m2::test::writeFile(files_ / "work" / name, contentOf(name));
        }
        LibraryManager seed;
        seed.folderManager.initItems();
        const auto work = m2::test::addDocumentsFolder(seed, "Work");
        seed.fileManager.addFilesByUrl({(files_ / "work").string()}, true, work->id);
        seed.save();
    }
    void showWindow() {
        library_ = std::make_unique<LibraryManager>();
        m2::registerMainStoryboard(Storyboard::main());
        window_ = m2::test::libraryWindow(*library_, view_);
        view_->startupComplete = true;  // no first-run sheet: these tests start logged in
        QVERIFY(m2::test::showExposed(*window_));
        QVERIFY2(m2::test::selectFolder(*view_, "Work"), "no folder Work");
    }
    [[nodiscard]] QTableView* table() const { return view_->tableView; }
    [[nodiscard]] Names shownNames() const { return m2::test::shownNames(*view_); }
    void selectRows(const std::vector<int>& rows) {
        table()->clearSelection();
        for (const int row : rows) {
            table()->selectionModel()->select(
                table()->model()->index(row, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    void sortByName(Qt::SortOrder order) {
        table()->horizontalHeader()->setSortIndicator(1, order);
    }
    [[nodiscard]] static Names savedNames() {
        LibraryManager reloaded;
        return m2::test::namesOf(reloaded.fileManager.library);
    }
    [[nodiscard]] fs::path work(const std::string& name) const { return files_ / "work" / name; }
    // Waits until the batch has ended and its report sheet is up; answers the sheet.
    ReportControllerView* waitForReport() {
        if (!fixture_->waitFor([this] {
                return view_->currentState() == CurrentProcess::idel &&
                       fixture_->presentations().topSheet<ReportControllerView>() != nullptr;
            })) {
            return nullptr;
        }
        fixture_->drainMainQueue();
        return fixture_->presentations().topSheet<ReportControllerView>();
    }
    void closeReport(ReportControllerView* report) {
        QTest::mouseClick(report->closeButton, Qt::LeftButton);
        fixture_->drainMainQueue();
    }
    [[nodiscard]] double barValue() const { return view_->progressIndicator()->doubleValue(); }
    [[nodiscard]] double barMax() const { return view_->progressIndicator()->maxValue(); }

  private slots:
    void init() {
        fixture_ = std::make_unique<m2::test::UiFixture>();
        m2::PasswordCredentials::instance().setPassword(Morvane::Security::Secret(masterPassword));
        m2::PasswordCredentials::instance().setHint("the usual");
    }
    void cleanup() {
        if (view_ != nullptr) {
            QVERIFY(fixture_->waitFor(
                [this] { return view_->currentState() == CurrentProcess::idel; }));
            view_->batchWorkerWillProcess = nullptr;
        }
        fixture_->drainMainQueue();
        window_.reset();
        view_ = nullptr;
        library_.reset();
        m2::PasswordCredentials::instance().reset();
        fixture_.reset();
    }

    // A batch carries the password from the credentials to the worker and the engine: once
    // it is over and the session forgets the password, no copy of it or of the file key is
    // left in memory.
    void aBatchLeavesNoPasswordOrKeyInMemory() {
        const auto password = m2::test::MaskedValue::of(
            "Russet 53 barges moored below the Felling lock until the spring floods recede");
        m2::PasswordCredentials::instance().setPassword(password.reveal());
        seedLibrary(3);
        showWindow();
        selectRows({0, 1});
        view_->encryptSelectedItems();
        ReportControllerView* report = waitForReport();
        QVERIFY(report != nullptr);
        QCOMPARE(report->titleDetails->text(), QString("2 files encrypted"));
        closeReport(report);
        const Names shown = shownNames();
        selectRows({int(std::find(shown.begin(), shown.end(), "doc 0.txt.m2p") - shown.begin())});
        view_->decryptSelectedItems();
        report = waitForReport();
        QVERIFY(report != nullptr);
        QCOMPARE(report->titleDetails->text(), QString("1 file decrypted"));
        closeReport(report);
        m2::PasswordCredentials::instance().reset();
        m2::test::verifyNothingInMemory(m2::test::passwordAndKeyForms(password));
    }

    void encryptDecryptShredEndToEnd() {
        seedLibrary(4);
        showWindow();
        selectRows({0, 1, 2});
        view_->encryptSelectedItems();
        QVERIFY(view_->currentState() == CurrentProcess::encrypting);  // set before the worker
        QVERIFY(!table()->isEnabled());
        ReportControllerView* report = waitForReport();
        QVERIFY(report != nullptr);
        QCOMPARE(report->titleMessage->text(), QString("Success."));
        QCOMPARE(report->titleDetails->text(), QString("3 files encrypted"));
        QVERIFY(report->timerLabel->text().startsWith("Time taken: "));
        QVERIFY(table()->isEnabled());
        QCOMPARE(barMax(), 3.0);
        QCOMPARE(barValue(), 3.0);
        closeReport(report);

        const Names shown = shownNames();
        QCOMPARE(shown.size(), std::size_t(4));
        for (int n = 0; n < 3; ++n) {
            const std::string plain = "doc " + std::to_string(n) + ".txt";
            QVERIFY(!fs::exists(work(plain)));
            QVERIFY(fs::exists(work(plain + ".m2p")));
            QVERIFY(std::count(shown.begin(), shown.end(), plain + ".m2p") == 1);
        }
        QVERIFY(fs::exists(work("doc 3.txt")));
        Names saved = savedNames();
        std::sort(saved.begin(), saved.end());
        QCOMPARE(saved, (Names{"doc 0.txt.m2p", "doc 1.txt.m2p", "doc 2.txt.m2p", "doc 3.txt"}));

        // Decrypt one: the same bytes come back.
        const int row = int(std::find(shown.begin(), shown.end(), "doc 1.txt.m2p") - shown.begin());
        selectRows({row});
        view_->decryptSelectedItems();
        report = waitForReport();
        QVERIFY(report != nullptr);
        QCOMPARE(report->titleDetails->text(), QString("1 file decrypted"));
        closeReport(report);
        QCOMPARE(m2::test::readFile(work("doc 1.txt")), contentOf("doc 1.txt"));
        QVERIFY(!fs::exists(work("doc 1.txt.m2p")));

        // Shred one: gone from disk, the table and the saved library.
        const Names now = shownNames();
        selectRows({int(std::find(now.begin(), now.end(), "doc 3.txt") - now.begin())});
        fixture_->expectAlert("You are about to destroy files from your computer",
                              "This opperation cannot be undone, are you sure you would like to "
                              "continue?",
                              0);
        view_->shredSelectedFiles();
        report = waitForReport();
        QVERIFY(report != nullptr);
        QCOMPARE(report->titleDetails->text(), QString("1 file shredded!"));
        closeReport(report);
        QVERIFY(!fs::exists(work("doc 3.txt")));
        QCOMPARE(shownNames().size(), std::size_t(3));
        saved = savedNames();
        QVERIFY(std::find(saved.begin(), saved.end(), "doc 3.txt") == saved.end());
        QCOMPARE(saved.size(), std::size_t(3));
    }

    void refusalsChangeNothing_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<bool>("select");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("details");
        const QString busyText = QString::fromStdString(m2::asString(CurrentProcess::addingFiles));
        const QString none = "Please select at least one file and try again.";
        QTest::newRow("encrypt busy")
            << "encrypt" << true << true << "Could not encrypt files." << busyText;
        QTest::newRow("decrypt busy")
            << "decrypt" << true << true << "Could not decrypt files." << busyText;
        QTest::newRow("shred busy")
            << "shred" << true << true << "Could not Shred files." << busyText;
        QTest::newRow("encrypt none")
            << "encrypt" << false << false << "No files selected." << none;
        QTest::newRow("decrypt none")
            << "decrypt" << false << false << "No files selected." << none;
        QTest::newRow("shred none") << "shred" << false << false << "No files selected." << none;
        QTest::newRow("shred answered No")
            << "shred" << false << true << "You are about to destroy files from your computer"
            << "This opperation cannot be undone, are you sure you would like to continue?";
    }
    void refusalsChangeNothing() {
        QFETCH(QString, action);
        QFETCH(bool, busy);
        QFETCH(bool, select);
        QFETCH(QString, message);
        QFETCH(QString, details);
        seedLibrary(2);
        showWindow();
        if (select) {
            selectRows({0, 1});
        }
        if (busy) {
            view_->setCurrentState(CurrentProcess::addingFiles);
        }
        fixture_->expectAlert(message.toStdString(), details.toStdString(), 1);  // "No"
        if (action == "encrypt") {
            view_->encryptSelectedItems();
        } else if (action == "decrypt") {
            view_->decryptSelectedItems();
        } else {
            view_->shredSelectedFiles();
        }
        fixture_->drainMainQueue();
        QVERIFY(view_->currentState() ==
                (busy ? CurrentProcess::addingFiles : CurrentProcess::idel));
        QVERIFY(fixture_->presentations().performedSegues().empty());
        QVERIFY(fs::exists(work("doc 0.txt")) && fs::exists(work("doc 1.txt")));
        view_->setCurrentState(CurrentProcess::idel);
    }

    // The real question box: Return answers its default button, "No", so it destroys nothing.
    void returnOnTheShredQuestionShredsNothing() {
        seedLibrary(2);
        showWindow();
        selectRows({0, 1});
        const auto scripted = m2::platform::alertPresenter();
        const auto boxes = m2::platform::ui::QtAlertPresenter::install();
        QString message, details, defaultText;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                return;
            }
            message = box->text();
            details = box->informativeText();
            defaultText = box->defaultButton() != nullptr ? box->defaultButton()->text() : "";
            QWidget* focus = QApplication::focusWidget();
            QTest::keyClick(focus != nullptr ? focus : box, Qt::Key_Return);
            if (QApplication::activeModalWidget() == box) {
                box->reject();
            }
        });
        view_->shredSelectedFiles();
        m2::platform::setAlertPresenter(scripted);
        fixture_->drainMainQueue();
        QCOMPARE(message, QString("You are about to destroy files from your computer"));
        QCOMPARE(details, QString("This opperation cannot be undone, are you sure you would like "
                                  "to continue?"));
        QCOMPARE(defaultText, QString("No"));
        QVERIFY(view_->currentState() == CurrentProcess::idel);
        QVERIFY(fixture_->presentations().performedSegues().empty());
        QCOMPARE(m2::test::readFile(work("doc 0.txt")), contentOf("doc 0.txt"));
        QCOMPARE(m2::test::readFile(work("doc 1.txt")), contentOf("doc 1.txt"));
        QCOMPARE(shownNames(), (Names{"doc 0.txt", "doc 1.txt"}));
        QCOMPARE(savedNames(), (Names{"doc 0.txt", "doc 1.txt"}));
    }

    void withoutSingleSignOnTheSheetsAsk() {
        seedLibrary(3);
        m2::Settings::instance().setSingleSignOn(false);
        showWindow();
        selectRows({0});

        // Cancelled: nothing runs.
        view_->encryptSelectedItems();
        auto* entry = fixture_->presentations().topSheet<m2::PasswordController>();
        QVERIFY(entry != nullptr);
        QCOMPARE(fixture_->presentations().performedSegues(), Names{"passwordEntrySegue"});
        QTest::mouseClick(entry->cancelButton, Qt::LeftButton);
        fixture_->drainMainQueue();
        QVERIFY(view_->currentState() == CurrentProcess::idel);

        // A process that started while the sheet was up refuses the sheet's batch.
        view_->encryptSelectedItems();
        entry = fixture_->presentations().topSheet<m2::PasswordController>();
        QTest::keyClicks(entry->passwordOneEdit, "sheet pass");
        QTest::keyClicks(entry->password2Edit, "sheet pass");
        view_->setCurrentState(CurrentProcess::refreshingCloud);
        fixture_->expectAlert("Could not encrypt files.",
                              m2::asString(CurrentProcess::refreshingCloud));
        QTest::mouseClick(entry->okButton, Qt::LeftButton);
        QVERIFY(view_->currentState() == CurrentProcess::refreshingCloud);
        view_->setCurrentState(CurrentProcess::idel);

        // The typed password encrypts the files selected when the sheet answers.
        view_->encryptSelectedItems();
        entry = fixture_->presentations().topSheet<m2::PasswordController>();
        QTest::keyClicks(entry->passwordOneEdit, "sheet pass");
        QTest::keyClicks(entry->password2Edit, "sheet pass");
        selectRows({0, 1});
        QTest::mouseClick(entry->okButton, Qt::LeftButton);
        ReportControllerView* report = waitForReport();
        QVERIFY(report != nullptr);
        QCOMPARE(report->titleDetails->text(), QString("2 files encrypted"));
        closeReport(report);
        QVERIFY(fs::exists(work("doc 0.txt.m2p")) && fs::exists(work("doc 1.txt.m2p")));

        // A wrong password in the decryption sheet: one failure and the help.
        const Names shown = shownNames();
        selectRows({int(std::find(shown.begin(), shown.end(), "doc 0.txt.m2p") - shown.begin())});
        view_->decryptSelectedItems();
        auto* decrypt = fixture_->presentations().topSheet<m2::DecryptionPasswordViewController>();
        QVERIFY(decrypt != nullptr);
        QTest::keyClicks(decrypt->passwordOneEdit, "not the one");
        QTest::mouseClick(decrypt->okButton, Qt::LeftButton);
        report = waitForReport();
        QVERIFY(report != nullptr);
        QCOMPARE(report->titleMessage->text(), QString("Decryption failed."));
        QCOMPARE(report->errorTableView->rowCount(), 1);
        QCOMPARE(report->cellFor(1, 0).second, std::string("Password incorrect "));
        QVERIFY(report->invalidPasswordButton->isVisible());
        closeReport(report);
        QVERIFY(fs::exists(work("doc 0.txt.m2p")));
        m2::Settings::instance().setSingleSignOn(true);
    }

    void shredKeepsWhatCouldNotBeRemoved() {
        seedLibrary(3);
        // The second entry cannot be shredded: a locked folder with something in it.
        fs::remove(work("doc 1.txt"));
        fs::create_directories(work("doc 1.txt") / "inside");
        ::chmod(work("doc 1.txt").c_str(), 0555);
        showWindow();
        selectRows({0, 1, 2});
        fixture_->expectAlert("You are about to destroy files from your computer", std::nullopt, 0);
        view_->shredSelectedFiles();
        ReportControllerView* report = waitForReport();
        QVERIFY(report != nullptr);
        QCOMPARE(report->titleDetails->text(),
                 QString("1 file failed to shred, 2 files succesfully shredded."));
        QCOMPARE(report->errorTableView->rowCount(), 1);
        QCOMPARE(report->cellFor(0, 0).second, std::string("doc 1.txt"));
        QCOMPARE(report->cellFor(1, 0).second, std::string("could not shred file"));
        closeReport(report);
        QCOMPARE(shownNames(), Names{"doc 1.txt"});
        QCOMPARE(savedNames(), Names{"doc 1.txt"});
        QVERIFY(!fs::exists(work("doc 0.txt")) && !fs::exists(work("doc 2.txt")));
        // It keeps its lock.
        struct stat info {};
        QCOMPARE(::stat(work("doc 1.txt").c_str(), &info), 0);
        QCOMPARE(info.st_mode & 0200, 0u);
        ::chmod(work("doc 1.txt").c_str(), 0755);
    }

    void cancelDuringTheThirdOfTenThenANewBatchRunsWhole() {
        seedLibrary(12);
        showWindow();
        // A cancel while nothing runs is not kept for the next batch.
        view_->OnCancelProgress();
        std::vector<int> ten;
        for (int row = 0; row < 10; ++row) {
            ten.push_back(row);
        }
        selectRows(ten);
        m2::test::WorkerGate& gate = fixture_->gate();
        view_->batchWorkerWillProcess = [&gate](std::size_t index) {
            if (index == 2) {
                gate.pass();
            }
        };
        fixture_->expectAlert("You are about to destroy files from your computer", std::nullopt, 0);
        view_->shredSelectedFiles();
        QVERIFY(fixture_->waitForWorkersAtGate(1));
        QCOMPARE(barMax(), 10.0);
        QVERIFY(fixture_->waitFor([this] { return barValue() == 2.0; }));
        QDir().mkpath(M2_BINARY_DIR "/screenshots");
        m2::test::saveScreenshot(window_->window(), "batch_progress.png");
        view_->OnCancelProgress();
        gate.release();
        ReportControllerView* report = waitForReport();
        QVERIFY(report != nullptr);
        QCOMPARE(report->titleDetails->text(), QString("3 files shredded!"));
        QCOMPARE(barValue(), 3.0);
        QCOMPARE(shownNames().size(), std::size_t(9));
        QVERIFY(!m2::SecurityManager::instance().canceled);
        closeReport(report);
        view_->batchWorkerWillProcess = nullptr;

        selectRows({0, 1, 2, 3});
        view_->encryptSelectedItems();
        report = waitForReport();
        QVERIFY(report != nullptr);
        QCOMPARE(report->titleDetails->text(), QString("4 files encrypted"));
        closeReport(report);
    }

    // While a batch runs, the progress panel sits under the library views, which give up
    // only its room: no views at half height, no empty band under the panel.
    void theProgressPanelTakesOnlyItsOwnRoom() {
        seedLibrary(4);
        showWindow();
        const auto layOut = [] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QApplication::processEvents();
        };
        layOut();
        const int fullHeight = view_->librarySplitView->height();
        selectRows({0, 1, 2, 3});
        m2::test::WorkerGate& gate = fixture_->gate();
        view_->batchWorkerWillProcess = [&gate](std::size_t index) {
            if (index == 1) {
                gate.pass();
            }
        };
        fixture_->expectAlert("You are about to destroy files from your computer", std::nullopt, 0);
        view_->shredSelectedFiles();
        const auto releaseOnFailure = qScopeGuard([&gate] { gate.release(); });
        QVERIFY(fixture_->waitForWorkersAtGate(1));
        QVERIFY(fixture_->waitFor([this] { return barValue() >= 1.0; }));
        layOut();

        QGroupBox* panel = view_->progressContainer;
        QVERIFY(panel->isVisible());
        QCOMPARE(panel->height(), panel->sizeHint().height());
        const int spacing = view_->programView->layout()->spacing();
        const int row = std::max(view_->spinningProgress->height(), view_->progressLabel->height());
        const int shrunk = fullHeight - view_->librarySplitView->height();
        QVERIFY2(shrunk <= panel->height() + row + 2 * spacing + 2,
                 qPrintable(QString("the library views lost %1 px for a panel of %2 px")
                                .arg(shrunk)
                                .arg(panel->height())));
        const int below = view_->programView->height() - panel->geometry().bottom() - 1;
        QVERIFY2(below <= view_->programView->layout()->contentsMargins().bottom() + 1,
                 qPrintable(QString("%1 px empty under the panel").arg(below)));
        m2::test::saveScreenshot(window_->window(), "main_window_during_batch.png");

        gate.release();
        ReportControllerView* report = waitForReport();
        QVERIFY(report != nullptr);
        closeReport(report);
        QVERIFY(!panel->isVisible());
        layOut();
        QCOMPARE(view_->librarySplitView->height(), fullHeight);
    }

    void theWorkerProcessesExactlyItsSnapshot() {
        seedLibrary(4);
        showWindow();
        selectRows({0, 1});
        const Names chosen{shownNames()[0], shownNames()[1]};
        m2::test::WorkerGate& gate = fixture_->gate();
        view_->batchWorkerWillProcess = [&gate](std::size_t) { gate.pass(); };
        view_->encryptSelectedItems();
        QVERIFY(fixture_->waitForWorkersAtGate(1));
        // Meanwhile the selection changes and a file joins the shown folder.
        selectRows({2, 3});
        m2::test::writeFile(work("late.txt"), "late");
        const std::string folder = view_->libraryManager.folderManager.current->id;
        (void)view_->libraryManager.fileManager.addFileToLibrary(work("late.txt").string(), folder,
                                                                 "", false);
        gate.release();
        ReportControllerView* report = waitForReport();
        QVERIFY(report != nullptr);
        QCOMPARE(report->titleDetails->text(), QString("2 files encrypted"));
        closeReport(report);
        for (const std::string& name : chosen) {
            QVERIFY(fs::exists(work(name + ".m2p")));
        }
        int plain = 0;
        for (const auto& name : shownNames()) {
            plain += name.find(".m2p") == std::string::npos ? 1 : 0;
        }
        QCOMPARE(plain, 3);  // the two others and the late one
        QVERIFY(fs::exists(work("late.txt")));
    }

    void batchesAfterASortTouchExactlyTheSelectedEntries() {
        seedLibrary(6);
        showWindow();
        sortByName(Qt::DescendingOrder);
        QCOMPARE(shownNames().front(), std::string("doc 5.txt"));
        selectRows({m2::test::rowOf(*view_, "doc 4.txt"), m2::test::rowOf(*view_, "doc 1.txt")});
        sortByName(Qt::AscendingOrder);
        QCOMPARE(m2::test::selectedNames(*view_), (Names{"doc 1.txt", "doc 4.txt"}));

        view_->encryptSelectedItems();
        ReportControllerView* report = waitForReport();
        QVERIFY(report != nullptr);
        QCOMPARE(report->titleDetails->text(), QString("2 files encrypted"));
        closeReport(report);
        for (int n = 0; n < 6; ++n) {
            const std::string plain = "doc " + std::to_string(n) + ".txt";
            const bool chosen = n == 1 || n == 4;
            QVERIFY2(fs::exists(work(plain)) != chosen, plain.c_str());
            QVERIFY2(fs::exists(work(plain + ".m2p")) == chosen, plain.c_str());
        }
        // The batch's end keeps the order and the selected entries, under their new names.
        QCOMPARE(shownNames().front(), std::string("doc 0.txt"));
        QCOMPARE(m2::test::selectedNames(*view_), (Names{"doc 1.txt.m2p", "doc 4.txt.m2p"}));

        sortByName(Qt::DescendingOrder);
        fixture_->expectAlert("You are about to destroy files from your computer", std::nullopt, 0);
        view_->shredSelectedFiles();
        report = waitForReport();
        QVERIFY(report != nullptr);
        closeReport(report);
        for (int n = 0; n < 6; ++n) {
            const std::string plain = "doc " + std::to_string(n) + ".txt";
            const bool chosen = n == 1 || n == 4;
            QVERIFY2(fs::exists(work(plain)) != chosen, plain.c_str());
            QVERIFY2(!fs::exists(work(plain + ".m2p")), plain.c_str());
        }
        QCOMPARE(savedNames().size(), std::size_t(4));
    }

    void documentsOpenForEditingAreSkipped() {
        seedLibrary(2);
        showWindow();
        selectRows({0, 1});
        view_->encryptSelectedItems();
        QVERIFY(waitForReport() != nullptr);
        closeReport(fixture_->presentations().topSheet<ReportControllerView>());
        // The launcher has "doc 0" open: its working copy is there.
        const fs::path copy = fixture_->home() / "runtime" / "doc 0.txt";
        m2::test::writeFile(copy, "being edited");
        // A running launcher holds the lock on its copy's folder.
        const m2::platform::UniqueFd launcherLock(
            ::open(copy.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        QCOMPARE(::flock(launcherLock.get(), LOCK_EX | LOCK_NB), 0);
        {
            m2::OpenFileManager launcherList;
            QVERIFY(launcherList.addOpenFile(
                {(files_ / "work").string() + "//doc 0.txt.m2p", copy.string()}));
        }
        const auto before = m2::test::readFile(work("doc 0.txt.m2p"));
        for (const char* action : {"decrypt", "shred"}) {
            selectRows({0, 1});
            if (std::string(action) == "decrypt") {
                view_->decryptSelectedItems();
            } else {
                fixture_->expectAlert("You are about to destroy files from your computer",
                                      std::nullopt, 0);
                view_->shredSelectedFiles();
            }
            ReportControllerView* report = waitForReport();
            QVERIFY(report != nullptr);
            QCOMPARE(report->errorTableView->rowCount(), 1);
            QCOMPARE(report->cellFor(0, 0).second, std::string("doc 0.txt.m2p"));
            QCOMPARE(report->cellFor(1, 0).second, std::string("File is open for editing"));
            closeReport(report);
            QCOMPARE(m2::test::readFile(work("doc 0.txt.m2p")), before);
        }
        QVERIFY(!fs::exists(work("doc 1.txt")) && !fs::exists(work("doc 1.txt.m2p")));
    }
};

M2_GUI_TEST_MAIN(BatchOperationsTest)
#include "batch_operations_threaded_gui_test.moc"
