// The library view of the main controller over a library written by the model, with real
// files on disk: the folder outline, the status line and placeholder, the folder buttons,
// the table's cells, sort and search, removal, adding by panel and by drop, favourites, and
// the refusals while a process runs.

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/library/CloudManager.h"
#include "app/library/CloudType.h"
#include "app/library/FolderManager.h"
#include "app/library/LibraryManager.h"
#include "app/services/CurrentProcess.h"
#include "app/ui/DropImageView.h"
#include "app/ui/DropTableView.h"
#include "app/ui/FolderViewController.h"
#include "app/ui/MainStoryboard.h"
#include "app/ui/projectViewController.h"
#include "guisupport/FileDrag.h"
#include "guisupport/LibraryWindow.h"
#include "guisupport/Screenshot.h"
#include "guisupport/UiFixture.h"
#include "platform/ui/QtTableView.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/WindowController.h"
#include "support/LibraryTesting.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::CurrentProcess;
using m2::FolderItem;
using m2::FolderManager;
using m2::LibraryManager;
using m2::projectViewController;
using m2::platform::ui::QtTableView;
using m2::platform::ui::Storyboard;
using m2::platform::ui::WindowController;
using Names = std::vector<std::string>;

namespace {

const std::string cloudDetails =
    "To delete a cloud file: 1) Navigate to the correct location on your computer and delete "
    "the file. Morvane 2 will automatically remove the file from your library. ";
const std::string specialFolderRefusal =
    "You can not add files to your Home, Favourite or Encrypted folder";

// The twelve files of the Taxes folder; the three invoices differ only in case.
Names taxFiles() {
    Names names = {"Invoice-A.pdf", "invoice-b.pdf", "INVOICE-c.pdf"};
    for (int n = 1; n <= 9; ++n) {
        names.push_back("Receipt " + std::to_string(n) + ".pdf");
    }
    return names;
}

}  // namespace

class LibraryViewTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<m2::test::UiFixture> fixture_;
    std::unique_ptr<LibraryManager> library_;
    std::unique_ptr<WindowController> window_;
    projectViewController* view_ = nullptr;
    fs::path files_;

    // Writes the folder tree (Documents/Taxes with twelve entries, Documents/Empty) and the
    // library through a model of its own, as an earlier run of the program would have.
    void seedLibrary() {
        files_ = fixture_->home() / "files";
        fs::create_directories(files_ / "taxes");
        for (const std::string& name : taxFiles()) {
            m2::test::writeFile(files_ / "taxes" / name, name);
        }
        LibraryManager seed;
        seed.folderManager.initItems();
        const auto taxes = m2::test::addDocumentsFolder(seed, "Taxes");
        (void)m2::test::addDocumentsFolder(seed, "Empty");
        seed.fileManager.addFilesByUrl({(files_ / "taxes").string()}, true, taxes->id);
        for (const auto& entry : seed.fileManager.library) {
            entry->favorite =
                entry->fileName == "Invoice-A.pdf" || entry->fileName == "invoice-b.pdf";
            entry->encrypted =
                entry->fileName == "Invoice-A.pdf" || entry->fileName == "INVOICE-c.pdf";
        }
        seed.save();
    }

    [[nodiscard]] QTableView* table() const { return view_->tableView; }
    [[nodiscard]] QModelIndex cellIndex(int row, int column) const {
        return table()->model()->index(row, column);
    }
    [[nodiscard]] Names shownNames() const { return m2::test::shownNames(*view_); }
    [[nodiscard]] int rowOf(const std::string& name) const {
        const Names names = shownNames();
        const auto found = std::find(names.begin(), names.end(), name);
        return found == names.end() ? -1 : static_cast<int>(found - names.begin());
    }
    // The library as the next start of the program would load it.
    [[nodiscard]] static Names savedNames() {
        LibraryManager reloaded;
        return m2::test::namesOf(reloaded.fileManager.library);
    }
    [[nodiscard]] static bool savedFavourite(const std::string& name) {
        LibraryManager reloaded;
        for (const auto& entry : reloaded.fileManager.library) {
            if (entry->fileName == name) {
                return entry->favorite;
            }
        }
        return false;
    }
    [[nodiscard]] QString status() const { return view_->folderLabel->text(); }

    void selectFolder(const QString& label) {
        QVERIFY2(m2::test::selectFolder(*view_, label), qPrintable("no folder " + label));
    }
    void search(const QString& text) {
        view_->searchEdit->clear();
        QTest::keyClicks(view_->searchEdit, text);
    }
    void pressDelete() { QTest::keyClick(table(), Qt::Key_Delete); }
    // Local files dragged onto the drop target and dropped; answers what the drop answered.
    template <class Target>
    bool drop(Target* target, QWidget* receiver, const std::vector<fs::path>& paths) {
        auto data = m2::test::fileDrag(paths);
        return m2::test::dragAndDrop(receiver, data.get(), Qt::CopyAction) &&
               target->lastDropAccepted();
    }
    fs::path newFolderOfFiles(const std::string& name, int count) {
        fs::create_directories(files_ / name);
        for (int n = 0; n < count; ++n) {
            m2::test::writeFile(files_ / name / ("scan " + std::to_string(n) + ".png"), "x");
        }
        return files_ / name;
    }
    void addCloudFolder() {
        FolderManager& folders = view_->libraryManager.folderManager;
        auto root =
            std::make_shared<FolderItem>("Cloud", "", "cloud", FolderManager::cloud, true, "");
        folders.createCloudRoot(root);
        (void)folders.addFolder(
            *root, std::make_shared<FolderItem>("Dropbox", root->id, "dropbox", "DROPBOX-ID", true,
                                                (fixture_->home() / "Dropbox").string()));
        folders.folderView->reloadData();
    }

  private slots:
    void init() {
        fixture_ = std::make_unique<m2::test::UiFixture>();
        seedLibrary();
        library_ = std::make_unique<LibraryManager>();
        m2::registerMainStoryboard(Storyboard::main());
        window_ = m2::test::libraryWindow(*library_, view_);
        QVERIFY(m2::test::showExposed(*window_));
        selectFolder("Taxes");
    }
    void cleanup() {
        window_.reset();
        library_.reset();
        fixture_.reset();
    }

    void folderSelectionShowsEntriesCountAndPlaceholder_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("placeholder");
        QTest::newRow("user folder") << "Taxes"
                                     << "Taxes (12)" << 12 << "";
        QTest::newRow("empty user folder") << "Empty"
                                           << "Empty (0)" << 0 << "empty";
        QTest::newRow("home lists everything") << "Home"
                                               << "Home (12)" << 12 << "";
        QTest::newRow("favourites") << "Favourite"
                                    << "Favourite (2)" << 2 << "";
        QTest::newRow("encrypted") << "Encrypted"
                                   << "Encrypted (2)" << 2 << "";
    }
    void folderSelectionShowsEntriesCountAndPlaceholder() {
        QFETCH(QString, folder);
        QFETCH(QString, status);
        QFETCH(int, rows);
        QFETCH(QString, placeholder);
        selectFolder(folder);
        QCOMPARE(view_->libraryManager.folderManager.current->label, folder.toStdString());
        QCOMPARE(this->status(), status);
        QCOMPARE(table()->model()->rowCount(), rows);
        QCOMPARE(QString::fromStdString(view_->placeholderImageName()), placeholder);
        QCOMPARE(view_->placeholderImage->isVisible(), !placeholder.isEmpty());
        QVERIFY(view_->addNewFolderButton->isEnabled());
    }

    void emptiedSpecialFoldersShowTheirPictures() {
        selectFolder("Home");
        QDir().mkpath(M2_BINARY_DIR "/screenshots");
        m2::test::saveScreenshot(window_->window(), "library_view.png");
        view_->selectAll();
        pressDelete();
        QCOMPARE(status(), QString("Home (0)"));
        QCOMPARE(view_->placeholderImageName(), std::string("emptyHome"));
        QVERIFY(view_->placeholderImage->isVisible());
        selectFolder("Favourite");
        QCOMPARE(view_->placeholderImageName(), std::string("emptyFav"));
        selectFolder("Encrypted");
        QCOMPARE(view_->placeholderImageName(), std::string("emptyEncrypted"));
        m2::test::saveScreenshot(window_->window(), "library_empty.png");
        QVERIFY(savedNames().empty());
        // Removing entries never touches the files.
        QCOMPARE(m2::test::listFolder(files_ / "taxes").size(), std::size_t(12));
    }

    void cellsShowFavouriteAndEncryptedMarks_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("starText");
        QTest::addColumn<QString>("star");
        QTest::addColumn<QString>("lockText");
        QTest::addColumn<QString>("lock");
        QTest::newRow("favourite, encrypted") << "Invoice-A.pdf"
                                              << ""
                                              << "favorite-16"
                                              << ""
                                              << "lock-16";
        QTest::newRow("favourite only") << "invoice-b.pdf"
                                        << ""
                                        << "favorite-16"
                                        << "-"
                                        << "";
        QTest::newRow("encrypted only") << "INVOICE-c.pdf"
                                        << "-"
                                        << "favorite-off-16"
                                        << ""
                                        << "lock-16";
        QTest::newRow("plain") << "Receipt 1.pdf"
                               << "-"
                               << "favorite-off-16"
                               << "-"
                               << "";
    }
    void cellsShowFavouriteAndEncryptedMarks() {
        QFETCH(QString, name);
        QFETCH(QString, starText);
        QFETCH(QString, star);
        QFETCH(QString, lockText);
        QFETCH(QString, lock);
        const int row = rowOf(name.toStdString());
        QVERIFY(row >= 0);
        QCOMPARE(cellIndex(row, 0).data().toString(), starText);
        QCOMPARE(cellIndex(row, 0).data(QtTableView::imageNameRole).toString(), star);
        QCOMPARE(cellIndex(row, 2).data().toString(), lockText);
        QCOMPARE(cellIndex(row, 2).data(QtTableView::imageNameRole).toString(), lock);
        QCOMPARE(cellIndex(row, 3).data().toString(),
                 QString::fromStdString((files_ / "taxes").string()));
    }

    void headerClickSortsAndAgainReverses() {
        QHeaderView* header = table()->horizontalHeader();
        const auto clickHeader = [&](int section) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(section) + 8, 5));
        };
        Names byName = taxFiles();
        std::sort(byName.begin(), byName.end(), [](const std::string& a, const std::string& b) {
            return QString::fromStdString(a).toLower() < QString::fromStdString(b).toLower();
        });
        clickHeader(1);
        const Names first = shownNames();
        clickHeader(1);
        const Names second = shownNames();
        // Whichever way the first click went, the second reverses it.
        Names reversed(byName.rbegin(), byName.rend());
        QVERIFY((first == byName && second == reversed) || (first == reversed && second == byName));

        clickHeader(0);
        // The star column sorts the two favourites together at one end.
        const Names stars = shownNames();
        const auto marked = [&](std::size_t row) {
            return stars[row] == "Invoice-A.pdf" || stars[row] == "invoice-b.pdf";
        };
        QVERIFY((marked(0) && marked(1)) != (marked(10) && marked(11)));
    }

    void searchIgnoresCaseAndActionsWorkOnTheShownRows() {
        search("INVOICE");
        // In library order, which is the folder walk's byte order.
        QCOMPARE(shownNames(), (Names{"INVOICE-c.pdf", "Invoice-A.pdf", "invoice-b.pdf"}));
        QCOMPARE(status(), QString("Taxes (12)"));  // the folder's count, not the hits
        search("invoice");
        QCOMPARE(table()->model()->rowCount(), 3);

        view_->selectAll();
        QCOMPARE(table()->selectionModel()->selectedRows().size(), 3);
        pressDelete();
        QCOMPARE(status(), QString("Taxes (9)"));
        QCOMPARE(table()->model()->rowCount(), 0);
        QCOMPARE(view_->placeholderImageName(), std::string("emptywithFilter"));

        // The clear button ends the search.
        auto* clear = view_->searchEdit->findChild<QToolButton*>();
        QVERIFY(clear != nullptr);
        QTest::mouseClick(clear, Qt::LeftButton);
        QCOMPARE(view_->searchEdit->text(), QString());
        QCOMPARE(table()->model()->rowCount(), 9);
        QCOMPARE(view_->placeholderImageName(), std::string());
        const Names saved = savedNames();
        QCOMPARE(saved.size(), std::size_t(9));
        QVERIFY(std::none_of(saved.begin(), saved.end(), [](const std::string& name) {
            return QString::fromStdString(name).startsWith("invoice", Qt::CaseInsensitive);
        }));
    }

    void aChangeOfFolderClearsTheSelectionAndTheSearch() {
        search("receipt");
        table()->selectRow(rowOf("Receipt 3.pdf"));
        QCOMPARE(m2::test::selectedNames(*view_), Names{"Receipt 3.pdf"});
        selectFolder("Home");
        QCOMPARE(view_->searchEdit->text(), QString());
        QCOMPARE(table()->model()->rowCount(), 12);
        QCOMPARE(status(), QString("Home (12)"));
        QVERIFY(m2::test::selectedNames(*view_).empty());

        // Nothing the user sees is selected, so nothing is destroyed or removed.
        fixture_->expectAlert("No files selected.",
                              "Please select at least one file and try again.");
        view_->shredSelectedFiles();
        pressDelete();
        fixture_->drainMainQueue();
        for (const std::string& name : taxFiles()) {
            QVERIFY2(fs::exists(files_ / "taxes" / name), name.c_str());
        }
        QCOMPARE(savedNames().size(), std::size_t(12));
        QCOMPARE(view_->currentState(), CurrentProcess::idel);
    }

    void sortAndReloadKeepTheSelectedEntriesAndANewSearchDropsThem() {
        search("receipt");
        table()->selectRow(rowOf("Receipt 7.pdf"));
        table()->selectionModel()->select(cellIndex(rowOf("Receipt 2.pdf"), 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const Names chosen{"Receipt 2.pdf", "Receipt 7.pdf"};
        QHeaderView* header = table()->horizontalHeader();
        header->setSortIndicator(1, Qt::DescendingOrder);
        QCOMPARE(shownNames().front(), std::string("Receipt 9.pdf"));
        QCOMPARE(m2::test::selectedNames(*view_), (Names{"Receipt 7.pdf", "Receipt 2.pdf"}));
        header->setSortIndicator(4, Qt::AscendingOrder);
        Names selected = m2::test::selectedNames(*view_);
        std::sort(selected.begin(), selected.end());
        QCOMPARE(selected, chosen);
        // A reload of the model (what a rescan or a batch's end does) keeps them as well.
        view_->libraryManager.fileManager.showAgainAndReload();
        selected = m2::test::selectedNames(*view_);
        std::sort(selected.begin(), selected.end());
        QCOMPARE(selected, chosen);

        // Removal acts on exactly those two.
        pressDelete();
        QCOMPARE(status(), QString("Taxes (10)"));
        Names saved = savedNames();
        QCOMPARE(saved.size(), std::size_t(10));
        QVERIFY(std::find(saved.begin(), saved.end(), "Receipt 2.pdf") == saved.end());
        QVERIFY(std::find(saved.begin(), saved.end(), "Receipt 7.pdf") == saved.end());

        table()->selectRow(0);
        search("receipt 1");
        QCOMPARE(shownNames(), Names{"Receipt 1.pdf"});
        QVERIFY(m2::test::selectedNames(*view_).empty());
    }

    void aRescanShowsCloudChangesInTheShownFolderKeepingTheSelection() {
        const fs::path dropbox = fixture_->home() / "Dropbox";
        fs::create_directories(dropbox);
        m2::test::writeFile(dropbox / "kept.txt", "kept");
        m2::test::writeFile(dropbox / "going.txt", "going");
        m2::CloudManager& cloud = *view_->cloudManager;
        QVERIFY(cloud.addCloudProvider(m2::CloudType::DropBox, dropbox.string()));
        selectFolder("Dropbox");
        QCOMPARE(status(), QString("Dropbox (2)"));
        table()->selectRow(rowOf("kept.txt"));

        m2::test::writeFile(dropbox / "arrived.txt", "new");
        fs::remove(dropbox / "going.txt");
        // What the watcher's check starts once it saw the changes.
        cloud.refreshCloudFolderAndContents();
        QVERIFY(fixture_->waitFor([&] { return !cloud.isRefreshing(); }));
        Names shown = shownNames();
        std::sort(shown.begin(), shown.end());
        QCOMPARE(shown, (Names{"arrived.txt", "kept.txt"}));
        QCOMPARE(status(), QString("Dropbox (2)"));
        QCOMPARE(m2::test::selectedNames(*view_), Names{"kept.txt"});
    }

    void cloudFolderDisablesFolderButtonsAndRefusesChanges() {
        addCloudFolder();
        selectFolder("Dropbox");
        for (QToolButton* button :
             {view_->addNewFolderButton.data(), view_->deleteFolderButton.data(),
              view_->editFolderButton.data()}) {
            QVERIFY(!button->isEnabled());
        }
        fixture_->expectAlert("You cannot add a library folder to a cloud folder", std::nullopt);
        view_->performSegueIfDefined("newLibraryFolderSeque", nullptr);
        QCOMPARE(fixture_->presentations().topSheet<m2::FolderViewController>(), nullptr);
        // Even with no row selected.
        fixture_->expectAlert("You cannot delete cloud files from your library", cloudDetails);
        pressDelete();

        selectFolder("Home");
        QVERIFY(view_->addNewFolderButton->isEnabled());
    }

    void homeCannotBeDeletedAndOtherFoldersAsk() {
        selectFolder("Home");
        fixture_->expectAlert("You can not delete this folder", std::nullopt);
        QTest::mouseClick(view_->deleteFolderButton, Qt::LeftButton);
        QCOMPARE(status(), QString("Home (12)"));

        selectFolder("Taxes");
        fixture_->expectAlert(
            "Are you sure you would like to delete the selected folder?",
            "All sub-folders and associated files will also be deleted from your library", 0);
        QTest::mouseClick(view_->deleteFolderButton, Qt::LeftButton);
        QVERIFY(view_->libraryManager.folderManager.find(
                    view_->libraryManager.folderManager.current->id) != nullptr);
        QVERIFY(savedNames().empty());
    }

    void folderButtonsOpenTheSheet() {
        QTest::mouseClick(view_->addNewFolderButton, Qt::LeftButton);
        auto* sheet = fixture_->presentations().topSheet<m2::FolderViewController>();
        QVERIFY(sheet != nullptr);
        QTest::keyClicks(sheet->folderNameText, "2026");
        QTest::mouseClick(sheet->okButton, Qt::LeftButton);
        fixture_->drainMainQueue();
        const std::string taxesId = view_->libraryManager.folderManager.current->id;
        selectFolder("2026");
        QCOMPARE(view_->libraryManager.folderManager.current->parent, taxesId);
        QCOMPARE(status(), QString("2026 (0)"));
    }

    void withoutCurrentFolderTheStatusLineIsEmpty() {
        view_->libraryManager.folderManager.current = nullptr;
        view_->updateStatus();
        QCOMPARE(status(), QString());
    }

    void favouriteClickIsSaved() {
        const int row = rowOf("Receipt 2.pdf");
        const QRect star = table()->visualRect(cellIndex(row, 0));
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, star.center());
        QCOMPARE(cellIndex(row, 0).data(QtTableView::imageNameRole).toString(),
                 QString("favorite-16"));
        QVERIFY(savedFavourite("Receipt 2.pdf"));
        // A Ctrl-click deselects the row and still flips the mark of the row it hit.
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, Qt::ControlModifier, star.center());
        QVERIFY(!savedFavourite("Receipt 2.pdf"));
        // Another column only selects.
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, {},
                          table()->visualRect(cellIndex(row, 1)).center());
        QVERIFY(!savedFavourite("Receipt 2.pdf"));
    }

    void droppedFilesAreAddedAndSaved() {
        const fs::path scans = newFolderOfFiles("scans", 3);
        QVERIFY(drop(static_cast<m2::DropTableView*>(table()), table()->viewport(), {scans}));
        // Read off the main thread: the add is the running process until its entries are in.
        const auto addEnded = [&] { return view_->currentState() == CurrentProcess::idel; };
        QVERIFY(fixture_->waitFor(addEnded));
        QCOMPARE(status(), QString("Taxes (15)"));
        QCOMPARE(savedNames().size(), std::size_t(15));

        m2::test::writeFile(files_ / "single.txt", "one");
        QVERIFY(drop(view_->dropImageView.data(), view_->dropImageView.data(),
                     {files_ / "single.txt"}));
        QVERIFY(fixture_->waitFor(addEnded));
        QCOMPARE(status(), QString("Taxes (16)"));
        QCOMPARE(savedNames().size(), std::size_t(16));
        QCOMPARE(view_->currentState(), CurrentProcess::idel);

        // A special folder refuses with the library's message; the drop still answers true.
        selectFolder("Favourite");
        m2::test::writeFile(files_ / "other.txt", "two");
        fixture_->expectAlert(specialFolderRefusal, std::nullopt);
        QVERIFY(drop(static_cast<m2::DropTableView*>(table()), table()->viewport(),
                     {files_ / "other.txt"}));
        QCOMPARE(savedNames().size(), std::size_t(16));
        QCOMPARE(view_->currentState(), CurrentProcess::idel);
    }

    void addingByPanelIsARegisteredProcess() {
        const fs::path scans = newFolderOfFiles("scans", 4);
        fixture_->openPanel().queueChoice({scans.string()});
        view_->addFiles(true);
        QCOMPARE(fixture_->openPanel().shown().back().prompt, std::string("Add folder"));
        // The entries join on the main queue; until then the add is the running process.
        QCOMPARE(view_->currentState(), CurrentProcess::addingFiles);
        fixture_->expectAlert("Could not add files.", m2::asString(CurrentProcess::addingFiles));
        QVERIFY(drop(static_cast<m2::DropTableView*>(table()), table()->viewport(), {files_}));
        QVERIFY(fixture_->waitFor([&] { return view_->currentState() == CurrentProcess::idel; }));
        QCOMPARE(status(), QString("Taxes (16)"));
        QCOMPARE(savedNames().size(), std::size_t(16));

        // A cancelled panel ends the process too.
        fixture_->openPanel().queueCancel();
        view_->addFiles(false);
        QVERIFY(fixture_->waitFor([&] { return view_->currentState() == CurrentProcess::idel; }));
    }

    void everyLibraryChangeIsRefusedWhileAProcessRuns() {
        view_->setCurrentState(CurrentProcess::encrypting);
        const std::string busy = m2::asString(CurrentProcess::encrypting);
        const std::vector<std::pair<std::string, std::function<void()>>> actions = {
            {"Could not delete selected files.", [&] { pressDelete(); }},
            {"Could not add files.", [&] { view_->addFiles(false); }},
            {"Could not add files.",
             [&] {
                 (void)drop(static_cast<m2::DropTableView*>(table()), table()->viewport(),
                            {files_});
             }},
            {"Could not delete folder",
             [&] { QTest::mouseClick(view_->deleteFolderButton, Qt::LeftButton); }},
            {"Could not change library folders.",
             [&] { QTest::mouseClick(view_->addNewFolderButton, Qt::LeftButton); }},
            {"Could not change library folders.",
             [&] { QTest::mouseClick(view_->editFolderButton, Qt::LeftButton); }},
        };
        table()->selectRow(0);
        for (const auto& [message, action] : actions) {
            fixture_->expectAlert(message, busy);
            action();
        }
        QVERIFY(fixture_->openPanel().shown().empty());
        QCOMPARE(fixture_->presentations().topSheet<m2::FolderViewController>(), nullptr);
        QCOMPARE(status(), QString("Taxes (12)"));
        QCOMPARE(savedNames().size(), std::size_t(12));
        QCOMPARE(view_->currentState(), CurrentProcess::encrypting);
    }
};

M2_GUI_TEST_MAIN(LibraryViewTest)
#include "library_view_gui_test.moc"
