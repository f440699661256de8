// The notes view of the main window: the grid of tiles over a notes file made by the engine,
// the tiles' actions, the note editor in its three modes and the main controller's side of it.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Sealkit/SealkitFacade.h"
#include "app/notes/NoteReader.h"
#include "app/services/PasswordCredentials.h"
#include "app/services/SessionManager.h"
#include "app/ui/CollectionViewItem.h"
#include "app/ui/MainWindowController.h"
#include "app/ui/NoteItemViewController.h"
#include "app/ui/NotesSetupController.h"
#include "app/ui/projectViewController.h"
#include "guisupport/NotesWindow.h"
#include "guisupport/Screenshot.h"
#include "guisupport/SecretTyping.h"
#include "guisupport/UiFixture.h"
#include "platform/ui/Application.h"
#include "platform/ui/CollectionView.h"
#include "platform/ui/Images.h"
#include "platform/ui/KitWindows.h"
#include "platform/ui/Menus.h"
#include "support/NotesTesting.h"
#include "support/TestFiles.h"

using m2::CollectionViewItem;
using m2::NoteItemPtr;
using m2::NoteItemViewController;
using m2::NoteReader;
using m2::test::makeNote;
using ViewMode = m2::NoteItemViewController::ViewMode;
using Strings = std::vector<std::string>;

namespace {

constexpr const char* kDeleteThisNote = "Are you sure you would like to delete this note?";
constexpr const char* kDeleteSelected = "Are you sure you would like to delete the selected notes?";

// The picture a tile shows, as an image to compare.
QImage shownPicture(const CollectionViewItem& tile) {
    return tile.imageFile->pixmap().toImage();
}

QImage categoryPicture(const std::string& name) {
    return m2::platform::ui::pixmapNamed(name, QSize(48, 48)).toImage();
}

// Visible top-level menu items by tag.
bool menuShown(int tag) {
    QMenuBar* bar = m2::platform::ui::Application::instance().mainMenu();
    QAction* item = bar != nullptr ? m2::platform::ui::itemWithTag(*bar, tag) : nullptr;
    return item != nullptr && item->isVisible();
}

}  // namespace

class NotesViewTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<m2::test::UiFixture> fixture_;
    std::unique_ptr<m2::test::NotesWindow> notes_;
    std::filesystem::path file_;

    // Three notes in the file, the notes view shown.
    void showThreeNotes() {
        file_ =
            notes_->useNotesFile({makeNote("Bank", 1, "IBAN\tDE00"),
                                  makeNote("Home wifi", 9, "pass phrase"), makeNote("Server", 7)});
        notes_->main().showNotes();
        fixture_->drainMainQueue();
    }
    QPushButton* tileButton(std::size_t item, const char* name) {
        return notes_->tile(item)->view()->findChild<QPushButton*>(name);
    }
    NoteItemViewController* openEditor(const std::string& segue) {
        notes_->window().performSegueWithIdentifier(segue, nullptr);
        return fixture_->presentations().topSheet<NoteItemViewController>();
    }

  private slots:
    void init() {
        fixture_ = std::make_unique<m2::test::UiFixture>();
        notes_ = std::make_unique<m2::test::NotesWindow>(*fixture_);
    }
    void cleanup() {
        notes_.reset();
        fixture_.reset();
    }

    void gridShowsATilePerNoteWithItsCategoryPicture() {
        showThreeNotes();
        m2::projectViewController& main = notes_->main();
        QVERIFY(main.notesView->isVisible());
        QVERIFY(!main.librarySplitView->isVisible());
        QCOMPARE(notes_->tileTitles(), (Strings{"Bank", "Home wifi", "Server"}));
        // The file stores no image name: the tile takes the category's.
        QCOMPARE(shownPicture(*notes_->tile(1)), categoryPicture("note-darkblue"));
        QCOMPARE(shownPicture(*notes_->tile(2)), categoryPicture("note-silver"));
        QCOMPARE(main.noteManager.notes[1]->image, std::string());

        QCOMPARE(notes_->grid().itemSize(), QSize(128, 104));
        QCOMPARE(notes_->grid().sectionInset(), QMargins(20, 30, 20, 10));
        QCOMPARE(notes_->grid().frameForItemAtIndexPath({0, 0}).topLeft(), QPoint(20, 30));
        QCOMPARE(notes_->grid().frameForItemAtIndexPath({0, 1}).left(), 20 + 128 + 10);

        QCOMPARE(notes_->window().toolBar()->itemIdentifiers(),
                 (Strings{"addNote", "deleteNote", "editNote", "hline", "libraryView", "hline",
                          "logoff", "NSToolbarFlexibleSpaceItem", "settings", "hline", "help"}));
        QVERIFY(menuShown(1001));
        QVERIFY(!menuShown(1002));
        QVERIFY(!menuShown(1003));
        notes_->window().window()->resize(760, 420);
        notes_->click(1);
        fixture_->drainMainQueue();
        m2::test::saveScreenshot(notes_->window().window(), "notes_grid.png");
    }

    void selectedTileHasTheBorderEvenWhenMadeAgain() {
        showThreeNotes();
        notes_->click(0);
        QCOMPARE(notes_->tile(0)->tileView()->borderWidth(), 2.5);
        notes_->click(2);
        QCOMPARE(notes_->tile(0)->tileView()->borderWidth(), 0.0);
        QCOMPARE(notes_->tile(2)->tileView()->borderWidth(), 2.5);
        notes_->grid().reloadData();
        QCOMPARE(notes_->tile(2)->tileView()->borderWidth(), 2.5);
        QCOMPARE(notes_->tile(1)->tileView()->borderWidth(), 0.0);
    }

    void noNotesFileRunsTheSetupSheetAndTheLibraryStays() {
        notes_->main().showNotes();
        QCOMPARE(fixture_->presentations().performedSegues(), Strings{"notesSetupSegue"});
        auto* sheet = fixture_->presentations().topSheet<m2::NotesSetupController>();
        QVERIFY(sheet != nullptr);
        QCOMPARE(sheet->noteManager, &notes_->main().noteManager);
        QVERIFY(!notes_->main().notesView->isVisible());
        QVERIFY(notes_->main().librarySplitView->isVisible());
        QVERIFY(menuShown(1002));
    }

    // After a reset of the master password the old notes file no longer opens: the user is
    // told, the file stays, and the setup sheet asks for a new place.
    void aNotesFileTheCurrentPasswordCannotOpenIsToldAndSetUpAgain() {
        const auto old = notes_->useNotesFile({makeNote("old", 4)});
        const std::string before = m2::test::readFile(old);
        m2::PasswordCredentials::instance().setPassword(
            Morvane::Security::Secret("the reset password"));
        notes_->main().noteManager.setup();
        fixture_->expectAlert("Could not open your secure notes",
                              "The notes file " + old.string() +
                                  " could not be opened with the current master password. It "
                                  "is kept as it is; choose a new place for your notes in the "
                                  "next step.");
        notes_->main().showNotes();
        QCOMPARE(fixture_->presentations().performedSegues(), Strings{"notesSetupSegue"});

        // The default place holds the old file: a new one is made beside it, unasked.
        auto* sheet = fixture_->presentations().topSheet<m2::NotesSetupController>();
        QTest::mouseClick(sheet->view()->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        fixture_->drainMainQueue();
        const auto fresh = old.parent_path() / "M2_SecureNotes.m2n_(copy 1).m2p";
        QCOMPARE(notes_->main().noteManager.notesFileLocation, fresh.string());
        QVERIFY(notes_->main().notesView->isVisible());
        QCOMPARE(notes_->tileTitles(), Strings{"old"});  // still on screen, not lost
        QCOMPARE(m2::test::readFile(old), before);
    }

    // A notes file found damaged at log-in: one alert that names it, the file kept byte for
    // byte (set aside under a dated name when a new file takes its place), the setup sheet,
    // and the next note saved in the new file.
    void aDamagedNotesFileIsToldKeptAndSetUpAgain_data() {
        QTest::addColumn<QString>("damage");
        QTest::newRow("unparsable") << "unparsable";
        for (const std::string& damage : m2::test::kContainerDamage) {
            QTest::newRow(damage.c_str()) << QString::fromStdString(damage);
        }
    }
    void aDamagedNotesFileIsToldKeptAndSetUpAgain() {
        QFETCH(QString, damage);
        const auto file = notes_->useNotesFile({makeNote("precious", 4, "in the ciphertext")});
        const std::string sealed = m2::test::readFile(file);
        std::string bytes;
        if (damage == "unparsable") {
            const auto plain = fixture_->home() / "broken.m2n";
            m2::test::writeFile(plain, R"(<morvane><notes><note id="1" title="precious"/><no)");
            Encryptor encryptor(m2::test::NotesWindow::password, m2::test::NotesWindow::hint, false,
                                false);
            bytes = m2::test::readFile(encryptor.encryptFileOutcome(plain.string(), "").path);
        } else {
            bytes = m2::test::damagedCopy(sealed, damage.toStdString());
        }
        m2::test::writeFile(file, bytes);
        const Strings namesBefore = m2::test::listFolder(file.parent_path());
        notes_->main().noteManager.setup();
        QVERIFY(notes_->main().noteManager.notesFileDamaged());

        fixture_->expectAlert("Your secure notes file is damaged",
                              "The notes file " + file.string() +
                                  " could not be read as notes. It is kept as it is; choose a new "
                                  "place for your notes in the next step.");
        notes_->main().showNotes();
        QCOMPARE(fixture_->presentations().performedSegues(), Strings{"notesSetupSegue"});
        QVERIFY(!notes_->main().notesView->isVisible());
        QCOMPARE(m2::test::readFile(file), bytes);

        // The default place is where the damaged file is: it goes aside, unasked and intact.
        auto* sheet = fixture_->presentations().topSheet<m2::NotesSetupController>();
        QVERIFY(sheet != nullptr);
        QTest::mouseClick(sheet->view()->findChild<QPushButton*>("okButton"), Qt::LeftButton);
        fixture_->drainMainQueue();
        QCOMPARE(notes_->main().noteManager.notesFileLocation, file.string());
        QVERIFY(notes_->main().notesView->isVisible());
        std::vector<std::filesystem::path> aside;
        for (const std::string& name : m2::test::listFolder(file.parent_path())) {
            if (std::find(namesBefore.begin(), namesBefore.end(), name) == namesBefore.end()) {
                aside.push_back(file.parent_path() / name);
            }
        }
        QCOMPARE(aside.size(), std::size_t{1});
        const std::string asideName = aside[0].filename().string();
        QVERIFY2(
            asideName.starts_with("M2_SecureNotes.m2n damaged 2") && asideName.ends_with(".m2p"),
            asideName.c_str());
        QCOMPARE(m2::test::readFile(aside[0]), bytes);

        // The note read before the damage is still shown, and goes to the new file too.
        QCOMPARE(notes_->tileTitles(), Strings{"precious"});
        QVERIFY(notes_->main().newNoteItem(makeNote("after the damage", 4)));
        QCOMPARE(notes_->storedLabels(), (Strings{"precious", "after the damage"}));
        QCOMPARE(m2::test::readFile(aside[0]), bytes);
    }

    // Many notes: the grid makes tiles only for what is in view, scrolls to the end, and a
    // tile deleted there takes its own note and no other.
    void manyNotesAreShownScrolledAndDeletedFrom_data() {
        QTest::addColumn<int>("count");
        QTest::newRow("10,000") << 10000;
        QTest::newRow("100,000") << 100000;
    }
    void manyNotesAreShownScrolledAndDeletedFrom() {
        QFETCH(int, count);
        const auto total = static_cast<std::size_t>(count);
        std::vector<NoteItemPtr> many;
        many.reserve(total);
        for (int i = 0; i < count; ++i) {
            many.push_back(makeNote("Note " + std::to_string(i), i % 11));
        }
        notes_->useNotesFile(many);
        notes_->window().window()->resize(760, 420);
        notes_->main().showNotes();
        fixture_->drainMainQueue();
        m2::platform::ui::CollectionViewWidget& grid = notes_->grid();
        QVERIFY(grid.isVisible());
        QCOMPARE(grid.numberOfItemsInSection(0), total);
        const auto liveTiles = [&grid] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return grid.findChildren<m2::platform::ui::CollectionViewItem*>().size();
        };
        QVERIFY2(liveTiles() < 100, "tiles only for the rows in view");
        QCOMPARE(notes_->tile(0)->noteTitle->text(), QString("Note 0"));
        QCOMPARE(notes_->tile(total - 1), nullptr);
        notes_->click(0);

        grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
        fixture_->drainMainQueue();
        QVERIFY(notes_->tile(0) == nullptr);
        QVERIFY(liveTiles() < 100);
        QVERIFY(notes_->tile(total - 1) != nullptr);
        QCOMPARE(notes_->tile(total - 1)->noteTitle->text(),
                 QString::fromStdString("Note " + std::to_string(total - 1)));
        const QRect last = grid.frameForItemAtIndexPath({0, total - 1});
        QVERIFY(grid.viewport()->rect().intersects(
            last.translated(0, -grid.verticalScrollBar()->value())));
        m2::test::saveScreenshot(notes_->window().window(), count == 10000
                                                                ? "notes_grid_end_of_10000.png"
                                                                : "notes_grid_end_of_100000.png");

        const std::size_t doomed = total - 3;
        const NoteItemPtr note = notes_->main().noteManager.notes[doomed];
        fixture_->expectAlert(kDeleteThisNote, "", 0);
        QTest::mouseClick(tileButton(doomed, "deleteButton"), Qt::LeftButton);
        fixture_->drainMainQueue();
        const std::vector<NoteItemPtr>& kept = notes_->main().noteManager.notes;
        QCOMPARE(kept.size(), total - 1);
        QVERIFY(std::none_of(kept.begin(), kept.end(),
                             [&](const NoteItemPtr& n) { return n->id == note->id; }));
        const auto stored = NoteReader::load(notes_->main().noteManager.notesFileLocation);
        QVERIFY(stored && stored->size() == total - 1);
        QCOMPARE((*stored)[doomed - 1]->label, "Note " + std::to_string(doomed - 1));
        QCOMPARE((*stored)[doomed]->label, "Note " + std::to_string(doomed + 1));
        QCOMPARE(notes_->tile(doomed)->noteTitle->text(),
                 QString::fromStdString("Note " + std::to_string(doomed + 1)));

        // The selection made before the scroll is still there, and its tile shows it again.
        QCOMPARE(grid.selectionIndexPaths(), (m2::platform::IndexPathSet{{0, 0}}));
        grid.verticalScrollBar()->setValue(0);
        fixture_->drainMainQueue();
        QCOMPARE(notes_->tile(0)->tileView()->borderWidth(), 2.5);
        QCOMPARE(notes_->tile(1)->tileView()->borderWidth(), 0.0);
    }

    void deleteFromATileAsksFirst() {
        showThreeNotes();
        fixture_->expectAlert(kDeleteThisNote, "", 1);  // "No"
        QTest::mouseClick(tileButton(1, "deleteButton"), Qt::LeftButton);
        QCOMPARE(notes_->storedLabels(), (Strings{"Bank", "Home wifi", "Server"}));

        fixture_->expectAlert(kDeleteThisNote, "", 0);  // "Yes"
        QTest::mouseClick(tileButton(1, "deleteButton"), Qt::LeftButton);
        fixture_->drainMainQueue();
        QCOMPARE(notes_->storedLabels(), (Strings{"Bank", "Server"}));
        QCOMPARE(notes_->tileTitles(), (Strings{"Bank", "Server"}));
    }

    void deleteOfAMultipleSelection() {
        showThreeNotes();
        notes_->click(0);
        notes_->click(2, true);
        fixture_->expectAlert(kDeleteSelected, "", 0);
        notes_->window().OnDeleteNote(nullptr);
        fixture_->drainMainQueue();
        QCOMPARE(notes_->storedLabels(), Strings{"Home wifi"});
        QCOMPARE(notes_->tileTitles(), Strings{"Home wifi"});
    }

    void aTileWithoutANoteIsEmptyAndDoesNothing() {
        showThreeNotes();
        CollectionViewItem* tile = notes_->tile(0);
        tile->showNoteItem(nullptr);
        QVERIFY(tile->noteTitle->text().isEmpty());
        tile->showNote();
        tile->deleteNote();
        QCOMPARE(fixture_->presentations().topSheet<NoteItemViewController>(), nullptr);
        QCOMPARE(notes_->storedLabels(), (Strings{"Bank", "Home wifi", "Server"}));
    }

    // A new note with line feeds, tabs and UTF-8 goes through the editor into the file and
    // comes back the same from a fresh load.
    void newNoteThroughTheEditorSurvivesAReload() {
        showThreeNotes();
        NoteItemViewController* editor = openEditor("addNoteSeque");
        QVERIFY(editor != nullptr);
        QCOMPARE(editor->viewMode, ViewMode::new_);
        QCOMPARE(editor->okButton->text(), QString("Create"));
        QCOMPARE(editor->categoryCombo->currentIndex(), 4);
        QCOMPARE(editor->categoryCombo->count(), 11);
        QCOMPARE(editor->categoryCombo->itemText(8), QString("Software Licence"));

        const QString text = QString::fromUtf8("Zeile 1\n\tPIN: 12 34\nGrüße, 日本語 ✓");
        editor->noteTitle->setText(QString::fromUtf8("Straße café"));
        editor->noteContents->setPlainText(text);
        editor->categoryCombo->setCurrentIndex(6);
        m2::test::saveScreenshot(editor->window(), "note_editor.png");
        QTest::mouseClick(editor->okButton, Qt::LeftButton);
        QVERIFY(!editor->isPresented());
        fixture_->drainMainQueue();
        QCOMPARE(fixture_->presentations().topSheet<NoteItemViewController>(), nullptr);

        QCOMPARE(notes_->tileTitles().back(), std::string("Straße café"));
        const auto loaded = NoteReader::load(notes_->main().noteManager.notesFileLocation);
        QVERIFY(loaded && loaded->size() == 4);
        QCOMPARE(loaded->back()->content, text.toStdString());
        QCOMPARE(loaded->back()->label, std::string("Straße café"));
        QCOMPARE(loaded->back()->category.rawValue(), 6);
    }

    // A notes file the password does not open holds notes this store never read: a note made
    // then is refused with the reason, the editor keeps what was typed, the file its bytes.
    void aNoteForAFileThatDoesNotOpenStaysInTheEditor() {
        const auto file = notes_->useNotesFile({makeNote("old", 4)});
        const std::string before = m2::test::readFile(file);
        m2::PasswordCredentials::instance().setPassword(
            Morvane::Security::Secret("another master password"));
        notes_->main().noteManager.setup();
        QVERIFY(notes_->main().noteManager.cannotOpenNotesFile());

        NoteItemViewController* editor = openEditor("addNoteSeque");
        QVERIFY(editor != nullptr);
        editor->noteTitle->setText("typed");
        editor->noteContents->setPlainText("kept text");
        fixture_->expectAlert("Could not save Note file",
                              "Your notes file does not open with your current master password, "
                              "so nothing can be saved to it; what you wrote stays in the "
                              "editor.");
        QTest::mouseClick(editor->okButton, Qt::LeftButton);
        fixture_->drainMainQueue();
        QVERIFY(editor->isPresented());
        QCOMPARE(editor->noteContents->toPlainText(), QString("kept text"));
        QCOMPARE(m2::test::readFile(file), before);
    }

    // Saving a note seals the notes file under the session's password: once the session
    // forgets it, neither the password nor the file key is left in memory.
    void aSavedNoteLeavesNoPasswordOrKeyInMemory() {
        const auto password = m2::test::MaskedValue::of(
            "Umber 85 swifts above the Wensley viaduct as the last light leaves the fells");
        m2::PasswordCredentials::instance().setPassword(password.reveal());
        showThreeNotes();
        NoteItemViewController* editor = openEditor("addNoteSeque");
        QVERIFY(editor != nullptr);
        editor->noteTitle->setText("Locker");
        editor->noteContents->setPlainText("code 4711");
        QTest::mouseClick(editor->okButton, Qt::LeftButton);
        fixture_->drainMainQueue();
        QCOMPARE(notes_->tileTitles().back(), std::string("Locker"));
        m2::PasswordCredentials::instance().reset();
        m2::test::verifyNothingInMemory(m2::test::passwordAndKeyForms(password));
    }

    void editChangesTheSharedNoteInPlace() {
        showThreeNotes();
        fixture_->expectAlert("Please select a single note to edit", std::nullopt);
        QCOMPARE(openEditor("editNoteSeque"), nullptr);

        notes_->click(1);
        const NoteItemPtr wifi = notes_->main().noteManager.notes[1];
        const std::string id = wifi->id;
        NoteItemViewController* editor = openEditor("editNoteSeque");
        QVERIFY(editor != nullptr);
        QCOMPARE(editor->noteToEdit, wifi);
        QCOMPARE(editor->okButton->text(), QString("Update"));
        QCOMPARE(editor->noteWindowTitle->text(), QString("Edit your Secure note"));
        QCOMPARE(editor->noteImage->pixmap().toImage(),
                 m2::platform::ui::pixmapNamed("editnote-32", QSize(32, 32)).toImage());
        QCOMPARE(editor->noteTitle->text(), QString("Home wifi"));
        QCOMPARE(editor->noteContents->toPlainText(), QString("pass phrase"));
        QCOMPARE(editor->categoryCombo->currentIndex(), 9);

        editor->noteTitle->setText("Office wifi");
        editor->categoryCombo->setCurrentIndex(10);
        QTest::mouseClick(editor->okButton, Qt::LeftButton);
        fixture_->drainMainQueue();
        QCOMPARE(wifi->label, std::string("Office wifi"));
        QCOMPARE(wifi->id, id);
        QCOMPARE(notes_->main().noteManager.notes[1], wifi);
        QCOMPARE(notes_->storedLabels(), (Strings{"Bank", "Office wifi", "Server"}));
        QCOMPARE(notes_->tileTitles()[1], std::string("Office wifi"));
        QCOMPARE(shownPicture(*notes_->tile(1)), categoryPicture("note-emerald"));
    }

    // Update without a change gives back the note's own bytes, whatever the editor's
    // document makes of its line breaks and spaces; so does the title.
    void updateWithoutAChangeKeepsTheTextByteForByte_data() {
        QTest::addColumn<QByteArray>("text");
        const std::pair<const char*, const char*> texts[] = {
            {"CRLF", "one\r\ntwo\r\n\r\nthree\r\n"},
            {"CR", "one\rtwo\r"},
            {"line separator", "one\u2028two"},
            {"paragraph separator", "one\u2029two\u2029"},
            {"mixed breaks", "a\r\nb\nc\rd\u2029e\u2028f\r\n"},
            {"no-break spaces", "a\u00a0b\u202fc\u00a0"},
            {"byte order mark", "\ufeffstart \ufeff"},
            {"private use", "\uf700 \uf741 \uf7ff"},
            {"emoji with joiners",
             "\U0001F469\u200D\U0001F469\u200D\U0001F467 \U0001F3F3\uFE0F\u200D\U0001F308"},
            {"tabs", "\tindented\t"},
            {"not UTF-8", "caf\xe9 \x80\xff"},
        };
        for (const auto& [name, text] : texts) {
            QTest::newRow(name) << QByteArray(text);
        }
    }
    void updateWithoutAChangeKeepsTheTextByteForByte() {
        QFETCH(QByteArray, text);
        const std::string bytes = text.toStdString();
        notes_->useNotesFile({makeNote("Title " + bytes, 4, bytes)});
        notes_->main().showNotes();
        notes_->click(0);
        NoteItemViewController* editor = openEditor("editNoteSeque");
        QVERIFY(editor != nullptr);
        QTest::mouseClick(editor->okButton, Qt::LeftButton);
        fixture_->drainMainQueue();
        const NoteItemPtr note = notes_->main().noteManager.notes.at(0);
        QCOMPARE(QByteArray::fromStdString(note->content), text);
        QCOMPARE(QByteArray::fromStdString(note->label), "Title " + text);
        const auto stored = NoteReader::load(notes_->main().noteManager.notesFileLocation);
        QVERIFY(stored && stored->size() == 1);
        QCOMPARE(QByteArray::fromStdString(stored->front()->content), text);
    }

    // A word edited in a CRLF text: the other line breaks and the special spaces stay as
    // they were, and a line break the user adds takes the text's own form.
    void anEditKeepsWhatTheUserDidNotTouch() {
        const std::string text = "first\r\nx\u00a0y\u2028z\r\nword\r\nlast\r";
        notes_->useNotesFile({makeNote("Edited", 4, text)});
        notes_->main().showNotes();
        notes_->click(0);
        NoteItemViewController* editor = openEditor("editNoteSeque");
        QVERIFY(editor != nullptr);
        QTextCursor cursor = editor->noteContents->document()->find("word");
        QVERIFY(!cursor.isNull());
        editor->noteContents->setTextCursor(cursor);
        QTest::keyClicks(editor->noteContents, "WORD");
        QTest::keyClick(editor->noteContents, Qt::Key_Return);
        QTest::keyClicks(editor->noteContents, "added");
        QTest::keyClick(editor->noteContents, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(editor->noteContents, "more");
        QTest::mouseClick(editor->okButton, Qt::LeftButton);
        fixture_->drainMainQueue();
        QCOMPARE(notes_->main().noteManager.notes.at(0)->content,
                 std::string("first\r\nx\u00a0y\u2028z\r\nWORD\r\nadded\r\nmore\r\nlast\r"));
    }

    void viewModeAndCloseChangeNothing() {
        showThreeNotes();
        const std::string before = m2::test::readFile(file_);
        const NoteItemPtr bank = notes_->main().noteManager.notes[0];
        for (const ViewMode mode : {ViewMode::view, ViewMode::edit}) {
            auto made = std::make_unique<NoteItemViewController>();
            NoteItemViewController* editor = made.get();
            editor->viewMode = mode;
            editor->noteToEdit = bank;
            editor->delegate = &notes_->main();
            notes_->main().presentViewControllerAsSheet(std::move(made));
            editor->noteTitle->setText("changed");
            if (mode == ViewMode::view) {
                QCOMPARE(editor->okButton->text(), QString("Close"));
                QVERIFY(editor->noteTitle->isReadOnly());
                QVERIFY(editor->noteContents->isReadOnly());
                QVERIFY(!editor->categoryCombo->isEnabled());
                QTest::mouseClick(editor->okButton, Qt::LeftButton);
            } else {
                QTest::mouseClick(editor->view()->findChild<QPushButton*>("closeButton"),
                                  Qt::LeftButton);
            }
            QVERIFY(!editor->isPresented());
            fixture_->drainMainQueue();
        }
        QCOMPARE(bank->label, std::string("Bank"));
        QCOMPARE(m2::test::readFile(file_), before);
    }

    void emptyTitleRefusedBlanksAccepted() {
        showThreeNotes();
        NoteItemViewController* editor = openEditor("addNoteSeque");
        fixture_->expectAlert("Please enter a valid note title", std::nullopt);
        QTest::mouseClick(editor->okButton, Qt::LeftButton);
        QVERIFY(editor->isPresented());
        QCOMPARE(notes_->main().noteManager.notes.size(), std::size_t{3});

        editor->noteTitle->setText("   ");
        QTest::mouseClick(editor->okButton, Qt::LeftButton);
        QVERIFY(!editor->isPresented());
        QCOMPARE(notes_->storedLabels(), (Strings{"Bank", "Home wifi", "Server", "   "}));
    }

    void theTileOpensItsNoteInTheEditor() {
        showThreeNotes();
        QTest::mouseClick(tileButton(2, "viewButton"), Qt::LeftButton);
        auto* editor = fixture_->presentations().topSheet<NoteItemViewController>();
        QVERIFY(editor != nullptr);
        QCOMPARE(editor->viewMode, ViewMode::edit);
        QCOMPARE(editor->noteToEdit, notes_->main().noteManager.notes[2]);
        QCOMPARE(editor->delegate, static_cast<m2::NoteDelegate*>(&notes_->main()));
        QVERIFY(editor->window()->isVisible());

        // The note is deleted while its editor is open: the editor's OK does not bring it back.
        fixture_->expectAlert(kDeleteThisNote, "", 0);
        notes_->tile(2)->OnDeleteNote(nullptr);
        fixture_->drainMainQueue();
        editor->noteTitle->setText("resurrected?");
        QTest::mouseClick(editor->okButton, Qt::LeftButton);
        fixture_->drainMainQueue();
        QCOMPARE(notes_->storedLabels(), (Strings{"Bank", "Home wifi"}));
        QCOMPARE(notes_->tileTitles(), (Strings{"Bank", "Home wifi"}));
    }

    // The lock hides both editors (from the toolbar and from a tile) and the grid; the
    // login after it loads the notes file again, and an editor open across the lock still
    // saves its edit into the file.
    void anEditorOpenAcrossALockIsHiddenAndStillSaves() {
        showThreeNotes();
        notes_->click(0);
        NoteItemViewController* fromToolbar = openEditor("editNoteSeque");
        QTest::mouseClick(tileButton(1, "viewButton"), Qt::LeftButton);
        NoteItemViewController* fromTile =
            fixture_->presentations().topSheet<NoteItemViewController>();
        QVERIFY(fromToolbar != nullptr && fromTile != nullptr && fromTile != fromToolbar);

        notes_->main().logoff();
        fixture_->drainMainQueue();
        QVERIFY(!fromToolbar->window()->isVisible());
        QVERIFY(!fromTile->window()->isVisible());
        QVERIFY(!notes_->main().notesView->isVisible());

        m2::PasswordCredentials::instance().setPassword(
            Morvane::Security::Secret(m2::test::NotesWindow::password));
        m2::PasswordCredentials::instance().setHint(m2::test::NotesWindow::hint);
        // Offscreen there is no idle time; the first login of the program with a lock period
        // set says so once.
        m2::SessionManager& session = *notes_->main().sessionManager;
        const std::int64_t limit = session.timeout();
        session.setTimeout(300);
        fixture_->expectAlert("Automatic lock is not available", std::nullopt);
        notes_->main().login();
        fixture_->drainMainQueue();
        session.setTimeout(limit);
        QVERIFY(fromToolbar->window()->isVisible() && fromTile->window()->isVisible());
        fromTile->noteTitle->setText("Home wifi, edited across the lock");
        QTest::mouseClick(fromTile->okButton, Qt::LeftButton);
        fromToolbar->noteContents->setPlainText("new IBAN");
        QTest::mouseClick(fromToolbar->okButton, Qt::LeftButton);
        fixture_->drainMainQueue();
        QCOMPARE(notes_->storedLabels(),
                 (Strings{"Bank", "Home wifi, edited across the lock", "Server"}));
        const auto loaded = NoteReader::load(notes_->main().noteManager.notesFileLocation);
        QCOMPARE(loaded->front()->content, std::string("new IBAN"));
    }

    // A save that fails is told, and the grid still shows what the user typed.
    void aFailedSaveIsToldAndTheNoteStaysShown() {
        showThreeNotes();
        m2::PasswordCredentials::instance().setPassword(
            Morvane::Security::Secret("not the notes password"));
        NoteItemViewController* editor = openEditor("addNoteSeque");
        editor->noteTitle->setText("typed");
        fixture_->expectAlert("Could not save Note file", std::nullopt);
        QTest::mouseClick(editor->okButton, Qt::LeftButton);
        fixture_->drainMainQueue();
        QCOMPARE(notes_->tileTitles().back(), std::string("typed"));
        m2::PasswordCredentials::instance().setPassword(
            Morvane::Security::Secret(m2::test::NotesWindow::password));
        QCOMPARE(notes_->storedLabels(), (Strings{"Bank", "Home wifi", "Server"}));
    }

    // Locked, reset, logged on with the new password: nothing of the earlier session's notes
    // is anywhere in the windows (every widget's text walked, hidden ones too), and the notes
    // view says the file no longer opens and offers a setup with none of them.
    void aResetAtTheLockLeavesNothingOfTheLockedSession() {
        file_ = notes_->useNotesFile({makeNote("Zanzibar account", 1, "IBAN ZZ11 0000"),
                                      makeNote("Attic router", 9, "phrase-qx-71")});
        notes_->main().showNotes();
        fixture_->drainMainQueue();
        QCOMPARE(notes_->tileTitles(), (Strings{"Zanzibar account", "Attic router"}));
        QTest::mouseClick(tileButton(1, "viewButton"), Qt::LeftButton);
        auto* editor = fixture_->presentations().topSheet<NoteItemViewController>();
        QVERIFY(editor != nullptr);
        editor->noteContents->setPlainText("unsaved draft kx-55");

        notes_->main().logoff();
        fixture_->drainMainQueue();
        QVERIFY(notes_->main().noteManager.notes.empty());
        QVERIFY(notes_->tileTitles().empty());

        // The reset at the login window stores a new master password.
        m2::PasswordCredentials reset(fixture_->keychain());
        reset.setPassword(Morvane::Security::Secret("a brand new password"));
        reset.setPassword2(Morvane::Security::Secret("a brand new password"));
        QVERIFY(reset.saveToKeychain());
        m2::PasswordCredentials::instance().setPassword(
            Morvane::Security::Secret("a brand new password"));
        fixture_->expectAlert("Could not open your secure notes", std::nullopt);
        notes_->main().login();
        fixture_->drainMainQueue();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        const Strings performed = fixture_->presentations().performedSegues();
        QVERIFY(std::find(performed.begin(), performed.end(), "notesSetupSegue") !=
                performed.end());
        QVERIFY(notes_->main().noteManager.notes.empty());
        for (QWidget* widget : QApplication::allWidgets()) {
            QStringList texts{widget->windowTitle(), widget->toolTip()};
            if (auto* label = qobject_cast<QLabel*>(widget)) {
                texts << label->text();
            } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
                texts << line->text() << line->placeholderText();
            } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
                texts << plain->toPlainText();
            } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
                texts << button->text();
            } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
                texts << combo->currentText();
            }
            for (const QString& text : texts) {
                for (const char* secret :
                     {"Zanzibar", "Attic router", "ZZ11", "phrase-qx", "unsaved draft"}) {
                    QVERIFY2(!text.contains(secret),
                             qPrintable(widget->metaObject()->className() + QString(": ") + text));
                }
            }
        }
        m2::PasswordCredentials::instance().setPassword(
            Morvane::Security::Secret(m2::test::NotesWindow::password));
    }
};

M2_GUI_TEST_MAIN(NotesViewTest)
#include "notes_view_gui_test.moc"
