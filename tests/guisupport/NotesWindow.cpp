#include "guisupport/NotesWindow.h"

#include <QLabel>
#include <QTest>

#include "app/library/LibraryManager.h"
#include "app/notes/NoteReader.h"
#include "app/services/PasswordCredentials.h"
#include "app/ui/CollectionViewItem.h"
#include "app/ui/MainStoryboard.h"
#include "app/ui/MainWindowController.h"
#include "app/ui/projectViewController.h"
#include "platform/Paths.h"
#include "platform/ui/Storyboard.h"
#include "support/NotesTesting.h"

namespace m2::test {

NotesWindow::NotesWindow(UiFixture& fixture) : fixture_(fixture) {
    PasswordCredentials::instance().setPassword(Morvane::Security::Secret(password));
    PasswordCredentials::instance().setHint(hint);
    platform::ui::Storyboard& board = platform::ui::Storyboard::main();
    registerMainStoryboard(board);
    window_ = board.instantiate<MainWindowController>("mainWindowSausage");
    window_->showWindow();
    // The first-run setup sheet over a fresh window is not what the notes tests look at.
    if (auto* setup = fixture_.presentations().topSheet<platform::ui::ViewController>()) {
        setup->dismissController();
    }
    fixture_.drainMainQueue();
    fixture_.presentations().clear();
}

NotesWindow::~NotesWindow() {
    window_.reset();
    fixture_.drainMainQueue();
}

projectViewController& NotesWindow::main() const {
    return *window_->mainContent();
}

platform::ui::CollectionViewWidget& NotesWindow::grid() const {
    return *main().notesView;
}

std::filesystem::path NotesWindow::useNotesFile(const std::vector<NoteItemPtr>& notes) {
    NoteManager& store = main().noteManager;
    (void)platform::ensureBaseFolder();
    const std::string plain = platform::documentsFolder().string() + LibraryManager::noteFilename;
    if (!store.createNotesFile(plain) || !NoteReader::save(notes, store.notesFileLocation)) {
        QTest::qFail("the notes file could not be made", __FILE__, __LINE__);
    }
    store.setup();
    return store.notesFileLocation;
}

CollectionViewItem* NotesWindow::tile(std::size_t item) const {
    return dynamic_cast<CollectionViewItem*>(grid().itemAtIndexPath({0, item}));
}

std::vector<std::string> NotesWindow::tileTitles() const {
    std::vector<std::string> titles;
    for (std::size_t item = 0; item < grid().numberOfItemsInSection(0); ++item) {
        const CollectionViewItem* shown = tile(item);
        titles.push_back(shown != nullptr && shown->noteTitle != nullptr
                             ? shown->noteTitle->text().toStdString()
                             : "<no tile>");
    }
    return titles;
}

std::vector<std::string> NotesWindow::storedLabels() const {
    const auto notes = NoteReader::load(main().noteManager.notesFileLocation);
    return notes ? labelsOf(*notes) : std::vector<std::string>{"<absent>"};
}

void NotesWindow::click(std::size_t item, bool extend) const {
    grid().clickItem({0, item}, extend);
}

NoteItemPtr makeNote(const std::string& label, int category, const std::string& content) {
    auto note = std::make_shared<NoteItem>();
    note->label = label;
    note->content = content;
    note->category = *NoteCategory::Category::fromRawValue(category);
    return note;
}

}  // namespace m2::test
