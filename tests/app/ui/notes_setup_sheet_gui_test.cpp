// The notes setup sheet, opened by the notes view when there is no notes file: the three
// choices with real folders and the engine, their checks and alerts, and what is recorded.

#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/notes/NoteManager.h"
#include "app/notes/NoteReader.h"
#include "app/services/Settings.h"
#include "app/ui/NotesSetupController.h"
#include "app/ui/projectViewController.h"
#include "guisupport/NotesWindow.h"
#include "guisupport/UiFixture.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::NotesSetupController;
using m2::Settings;
using m2::test::makeNote;
using Strings = std::vector<std::string>;

namespace {

constexpr const char* kNotesName = "M2_SecureNotes.m2n";
constexpr const char* kAlreadyThere = "A notes file already exists here";
constexpr const char* kUseIt =
    "Use the existing notes file? Choose No to create a new one beside it.";

}  // namespace

class NotesSetupSheetTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<m2::test::UiFixture> fixture_;
    std::unique_ptr<m2::test::NotesWindow> notes_;
    QPointer<NotesSetupController> sheet_;  // gone once dismissed and the loop has run

    fs::path defaultPlace() const { return fixture_->documents() / "Morvane" / kNotesName; }
    // Ticks one box as the user does; nullptr leaves the boxes as they are.
    void tick(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, 6)); }
    void pressOk() {
        QTest::mouseClick(sheet_->view()->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        fixture_->drainMainQueue();
    }
    // The setup succeeded: the sheet went, the notes path is the file, the notes view shows.
    void expectSetUpWith(const fs::path& file) {
        QVERIFY(sheet_ == nullptr || !sheet_->isPresented());
        QCOMPARE(Settings::instance().NotesPath(), file.string());
        QCOMPARE(notes_->main().noteManager.notesFileLocation, file.string());
        QVERIFY(fs::is_regular_file(file));
        QVERIFY(notes_->main().notesView->isVisible());
    }
    void expectNothingRecorded() {
        QVERIFY(sheet_ != nullptr && sheet_->isPresented());
        QCOMPARE(Settings::instance().NotesPath(), std::string());
        QVERIFY(!notes_->main().notesView->isVisible());
    }

  private slots:
    void init() {
        fixture_ = std::make_unique<m2::test::UiFixture>();
        notes_ = std::make_unique<m2::test::NotesWindow>(*fixture_);
        notes_->main().showNotes();
        sheet_ = fixture_->presentations().topSheet<NotesSetupController>();
        QVERIFY(sheet_ != nullptr);
        QVERIFY(sheet_->defaultCheck->isChecked());
    }
    void cleanup() {
        notes_.reset();
        fixture_.reset();
    }

    void defaultPlaceMakesAnEmptyNotesFileAndShowsTheNotes() {
        QDir().mkpath(M2_BINARY_DIR "/screenshots");
        QVERIFY(sheet_->window()->grab().save(M2_BINARY_DIR "/screenshots/notes_setup.png"));
        pressOk();
        expectSetUpWith(defaultPlace().string() + ".m2p");
        QCOMPARE(notes_->tileTitles(), Strings{});
        QCOMPARE(fixture_->presentations().performedSegues(), Strings{"notesSetupSegue"});
    }

    // A notes file already in the chosen place is offered first: Yes takes it over with its
    // notes, No makes a new one beside it.
    void anExistingNotesFileThereIsOfferedFirst_data() {
        QTest::addColumn<bool>("custom");
        QTest::addColumn<int>("answer");
        QTest::newRow("default place, Yes") << false << 0;
        QTest::newRow("default place, No") << false << 1;
        QTest::newRow("custom folder, Yes") << true << 0;
        QTest::newRow("custom folder, No") << true << 1;
    }
    void anExistingNotesFileThereIsOfferedFirst() {
        QFETCH(bool, custom);
        QFETCH(int, answer);
        const fs::path folder =
            custom ? fixture_->home() / "my notes" : defaultPlace().parent_path();
        fs::create_directories(folder);
        // An earlier notes file with one note, made by the engine under the same password.
        m2::NoteManager earlier;
        QVERIFY(earlier.createNotesFile((folder / kNotesName).string()));
        QVERIFY(m2::NoteReader::save({makeNote("from before", 3)}, earlier.notesFileLocation));
        Settings::instance().setNotesPath("");

        if (custom) {
            tick(sheet_->customCheck);
            sheet_->customFolderPath->setText(QString::fromStdString(folder.string()));
        }
        fixture_->expectAlert(kAlreadyThere, kUseIt, answer);
        pressOk();
        if (answer == 0) {
            expectSetUpWith(earlier.notesFileLocation);
            QCOMPARE(notes_->tileTitles(), Strings{"from before"});
        } else {
            expectSetUpWith(folder / "M2_SecureNotes.m2n_(copy 1).m2p");
            QCOMPARE(notes_->tileTitles(), Strings{});
        }
    }

    void customFolderMakesTheNotesFileThere() {
        const fs::path folder = fixture_->home() / "chosen";
        fs::create_directories(folder);
        fixture_->openPanel().queueChoice({folder.string()});
        QTest::mouseClick(sheet_->view()->findChild<QPushButton*>("customBrowseButton"),
                          Qt::LeftButton);
        QCOMPARE(sheet_->customFolderPath->text().toStdString(), folder.string());
        const auto& shown = fixture_->openPanel().shown().back();
        QCOMPARE(shown.prompt, std::string("Select custom location"));
        QVERIFY(shown.canChooseDirectories && !shown.canChooseFiles);
        QVERIFY2(sheet_->defaultCheck->isChecked(), "a panel ticks no box");

        tick(sheet_->customCheck);
        QVERIFY(!sheet_->defaultCheck->isChecked());
        pressOk();
        expectSetUpWith(folder / "M2_SecureNotes.m2n.m2p");
        QVERIFY(!fs::exists(defaultPlace().string() + ".m2p"));
    }

    // A folder where the file cannot be made: the alert, the sheet stays, nothing recorded.
    void aFolderWhereNoFileCanBeMadeKeepsTheSheet_data() {
        QTest::addColumn<QString>("folder");
        QTest::newRow("missing folder") << "missing";
        QTest::newRow("a file, not a folder") << "plain.txt";
        QTest::newRow("read-only folder") << "read-only";
    }
    void aFolderWhereNoFileCanBeMadeKeepsTheSheet() {
        QFETCH(QString, folder);
        const fs::path path = fixture_->home() / folder.toStdString();
        m2::test::writeFile(fixture_->home() / "plain.txt", "x");
        fs::create_directories(fixture_->home() / "read-only");
        fs::permissions(fixture_->home() / "read-only",
                        fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
        if (folder == "read-only" && geteuid() == 0) {
            QSKIP("root writes into read-only folders");
        }
        tick(sheet_->customCheck);
        sheet_->customFolderPath->setText(QString::fromStdString(path.string()));
        fixture_->expectAlert("Please select a valid folder", std::nullopt);
        pressOk();
        expectNothingRecorded();
        QCOMPARE(sheet_->customFolderPath->text().toStdString(), path.string());
        fs::permissions(fixture_->home() / "read-only", fs::perms::owner_all,
                        fs::perm_options::replace);
    }

    void existingFileIsTakenOnlyWhenItIsANotesFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("make");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("notes file") << "M2_SecureNotes.m2n.m2p" << true << true;
        QTest::newRow("renamed copy") << "M2_SecureNotes.m2n_(copy 2).m2p" << true << true;
        QTest::newRow("other encrypted file") << "letter.txt.m2p" << true << false;
        QTest::newRow("not encrypted") << "M2_SecureNotes.m2n.txt" << true << false;
        QTest::newRow("missing") << "M2_SecureNotes.m2n.m2p" << false << false;
    }
    void existingFileIsTakenOnlyWhenItIsANotesFile() {
        QFETCH(QString, name);
        QFETCH(bool, make);
        QFETCH(bool, accepted);
        const fs::path file = fixture_->home() / "elsewhere" / name.toStdString();
        fs::create_directories(file.parent_path());
        if (make && accepted) {
            // A notes file made by the engine elsewhere, under the name the row gives.
            m2::NoteManager elsewhere;
            QVERIFY(elsewhere.createNotesFile((file.parent_path() / kNotesName).string()));
            QVERIFY(
                m2::NoteReader::save({makeNote("kept elsewhere", 2)}, elsewhere.notesFileLocation));
            fs::rename(elsewhere.notesFileLocation, file);
            Settings::instance().setNotesPath("");
        } else if (make) {
            m2::test::writeFile(file, "not a notes file");
        }
        fixture_->openPanel().queueChoice({file.string()});
        QTest::mouseClick(sheet_->view()->findChild<QPushButton*>("existingBrowseButton"),
                          Qt::LeftButton);
        const auto& shown = fixture_->openPanel().shown().back();
        QCOMPARE(shown.prompt, std::string("Select existing"));
        QCOMPARE(shown.allowedFileTypes, Strings{"m2p"});
        QVERIFY(!shown.canChooseDirectories && shown.canChooseFiles);
        QCOMPARE(sheet_->existingFilePath->text().toStdString(), file.string());

        tick(sheet_->existingCheck);
        if (!accepted) {
            fixture_->expectAlert("Please select a valid notes file", std::nullopt);
        }
        pressOk();
        if (accepted) {
            expectSetUpWith(file);
            QCOMPARE(notes_->tileTitles(), Strings{"kept elsewhere"});
        } else {
            expectNothingRecorded();
        }
    }

    void theBoxesActAsOneChoice() {
        tick(sheet_->customCheck);
        QVERIFY(sheet_->customCheck->isChecked() && !sheet_->defaultCheck->isChecked());
        tick(sheet_->existingCheck);
        QVERIFY(sheet_->existingCheck->isChecked() && !sheet_->customCheck->isChecked());
        tick(sheet_->existingCheck);
        QVERIFY(!sheet_->existingCheck->isChecked() && !sheet_->customCheck->isChecked() &&
                !sheet_->defaultCheck->isChecked());

        fixture_->openPanel().queueCancel();
        sheet_->existingFilePath->setText("typed by hand");
        QTest::mouseClick(sheet_->view()->findChild<QPushButton*>("existingBrowseButton"),
                          Qt::LeftButton);
        QCOMPARE(sheet_->existingFilePath->text(), QString("typed by hand"));

        fixture_->expectAlert("", std::nullopt);
        pressOk();
        expectNothingRecorded();
    }
};

M2_GUI_TEST_MAIN(NotesSetupSheetTest)
#include "notes_setup_sheet_gui_test.moc"
