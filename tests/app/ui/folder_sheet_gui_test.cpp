// The library folder sheet: new and edit mode, the name check, and what reaches the
// delegate.

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/library/FolderItem.h"
#include "app/library/FolderManager.h"
#include "app/ui/FolderViewController.h"
#include "app/ui/LibraryFunctionDelegate.h"
#include "guisupport/ContentWindow.h"
#include "guisupport/UiFixture.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/WindowController.h"
#include "support/LibraryTesting.h"

using m2::FolderItem;
using m2::FolderItemPtr;
using m2::FolderViewController;
using m2::platform::ui::SeguePresentation;
using m2::platform::ui::Storyboard;
using m2::platform::ui::StoryboardSegue;
using m2::platform::ui::ViewController;
using m2::platform::ui::WindowController;

namespace {

// The window's content: hands the sheet its folder as the main controller does, and
// records what the sheet reports.
class RecordingOwner : public ViewController, public m2::LibraryFunctionDelegate {
  public:
    FolderItemPtr selected;  // the outline's selected folder
    std::vector<std::pair<FolderItemPtr, FolderItemPtr>> made;
    std::vector<FolderItemPtr> edited;

    void newLibraryFolder(const FolderItemPtr& folder, const FolderItemPtr& parent) override {
        made.emplace_back(folder, parent);
    }
    void editLibraryFolder(const FolderItemPtr& folder) override { edited.push_back(folder); }
    void prepareForSegue(StoryboardSegue& segue, QObject*) override {
        auto* sheet = segue.destinationAs<FolderViewController>();
        sheet->delegate = this;
        if (segue.identifier() == "newLibraryFolderSeque") {
            sheet->parent = selected;
        } else {
            sheet->folder = selected;
        }
    }
};

}  // namespace

class FolderSheetTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<m2::test::UiFixture> fixture_;
    std::unique_ptr<WindowController> window_;
    RecordingOwner* owner_ = nullptr;
    FolderItemPtr documents_;

    FolderViewController* open(const std::string& segue) {
        owner_->performSegueWithIdentifier(segue, nullptr);
        return fixture_->presentations().topSheet<FolderViewController>();
    }
    static void typeName(FolderViewController* sheet, const QString& name) {
        sheet->folderNameText->clear();
        QTest::keyClicks(sheet->folderNameText, name);
    }

  private slots:
    void init() {
        fixture_ = std::make_unique<m2::test::UiFixture>();
        documents_ = std::make_shared<FolderItem>("Documents", m2::FolderManager::home,
                                                  "documents-16", m2::FolderManager::document);
        Storyboard& board = Storyboard::main();
        board.registerController<FolderViewController>("FolderViewController");
        for (const char* segue : {"newLibraryFolderSeque", "editLibraryFolderSeque"}) {
            board.registerSegue({segue, "FolderViewController", SeguePresentation::sheet});
        }
        window_ = m2::test::windowWithContent(owner_);
        owner_->selected = documents_;
        window_->showWindow();
    }
    void cleanup() {
        window_.reset();
        fixture_.reset();
    }

    void newFolderGoesUnderTheSelectedFolder() {
        FolderViewController* sheet = open("newLibraryFolderSeque");
        QVERIFY(sheet != nullptr);
        QVERIFY(!sheet->editMode);
        QCOMPARE(sheet->okButton->text(), QString("OK"));
        typeName(sheet, "Taxes 2026");
        QDir().mkpath(M2_BINARY_DIR "/screenshots");
        QVERIFY(sheet->window()->grab().save(M2_BINARY_DIR "/screenshots/folder_sheet_new.png"));
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);

        QCOMPARE(owner_->made.size(), std::size_t(1));
        const auto& [folder, parent] = owner_->made.front();
        QCOMPARE(parent, documents_);
        QCOMPARE(folder->label, std::string("Taxes 2026"));
        QCOMPARE(folder->icon, std::string("folder-16"));
        QCOMPARE(folder->parent, documents_->id);
        QCOMPARE(folder->id.size(), std::size_t(36));
        QVERIFY(folder->id != documents_->id);
        QVERIFY(!sheet->isPresented());
    }

    void editRenamesTheSameFolder() {
        FolderViewController* sheet = open("editLibraryFolderSeque");
        QVERIFY(sheet->editMode);
        QCOMPARE(sheet->folderNameText->text(), QString("Documents"));
        QCOMPARE(sheet->okButton->text(), QString("Update"));
        QVERIFY(sheet->window()->grab().save(M2_BINARY_DIR "/screenshots/folder_sheet_edit.png"));
        const std::string id = documents_->id;
        typeName(sheet, "Papers");
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);

        QCOMPARE(owner_->edited, std::vector<FolderItemPtr>{documents_});
        QCOMPARE(documents_->label, std::string("Papers"));
        QCOMPARE(documents_->id, id);
        QVERIFY(owner_->made.empty());
        QVERIFY(!sheet->isPresented());
    }

    void emptyNameIsRefusedButABlankIsAName() {
        for (const char* segue : {"newLibraryFolderSeque", "editLibraryFolderSeque"}) {
            FolderViewController* sheet = open(segue);
            const std::size_t reports = owner_->made.size() + owner_->edited.size();
            typeName(sheet, "");
            fixture_->expectAlert("Please enter a valid folder name", std::nullopt);
            QTest::mouseClick(sheet->okButton, Qt::LeftButton);
            QVERIFY(sheet->isPresented());
            QCOMPARE(owner_->made.size() + owner_->edited.size(), reports);

            typeName(sheet, " ");
            QTest::mouseClick(sheet->okButton, Qt::LeftButton);
            QVERIFY(!sheet->isPresented());
            fixture_->drainMainQueue();
        }
        QCOMPARE(owner_->made.size(), std::size_t(1));
        QCOMPARE(owner_->made.front().first->label, std::string(" "));
        QCOMPARE(owner_->edited.size(), std::size_t(1));
        QCOMPARE(documents_->label, std::string(" "));
    }

    void withoutParentOkClosesAndMakesNothing() {
        owner_->selected = nullptr;
        FolderViewController* sheet = open("newLibraryFolderSeque");
        QVERIFY(!sheet->editMode);
        typeName(sheet, "Orphan");
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);
        QVERIFY(!sheet->isPresented());
        QVERIFY(owner_->made.empty());
    }

    void busyProgramRefusesBothModes() {
        m2::test::RecordingMainView mainView;
        mainView.state = m2::CurrentProcess::encrypting;
        const m2::ScopedMainView registered(mainView);
        for (const char* segue : {"newLibraryFolderSeque", "editLibraryFolderSeque"}) {
            FolderViewController* sheet = open(segue);
            typeName(sheet, "Later");
            fixture_->expectAlert("Could not change library folders.",
                                  m2::asString(m2::CurrentProcess::encrypting));
            QTest::mouseClick(sheet->okButton, Qt::LeftButton);
            QVERIFY(!sheet->isPresented());
            fixture_->drainMainQueue();
        }
        QVERIFY(owner_->made.empty() && owner_->edited.empty());
        QCOMPARE(documents_->label, std::string("Documents"));
    }

    void cancelChangesNothing() {
        FolderViewController* sheet = open("editLibraryFolderSeque");
        typeName(sheet, "Renamed");
        QTest::mouseClick(sheet->cancelButton, Qt::LeftButton);
        QVERIFY(!sheet->isPresented());
        QVERIFY(owner_->edited.empty());
        QCOMPARE(documents_->label, std::string("Documents"));
    }
};

M2_GUI_TEST_MAIN(FolderSheetTest)
#include "folder_sheet_gui_test.moc"
