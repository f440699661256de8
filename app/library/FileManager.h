#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/library/FileItem.h"
#include "app/library/LibraryList.h"
#include "app/library/LibraryResult.h"
#include "platform/TableView.h"

namespace m2 {

// The library list model: every library entry in library order, the entries grouped by the
// library folder they are filed under, the list shown for the selected folder and the
// result of the search. The only file it writes is the library file; it never touches a
// user's file. Main thread only, except where an operation says otherwise.
class FileManager {
  public:
    // The table columns that can sort the shown list; the texts are the sort keys.
    enum class sortOrder { favourite, fileName, encrypted, filePath, filesize };
    // Exact, case-sensitive match of one of the five keys; nothing for any other text.
    [[nodiscard]] static std::optional<sortOrder> sortOrderFromRawValue(std::string_view text);
    [[nodiscard]] static std::string rawValue(sortOrder order);

    struct AddOutcome {
        bool success = false;
        LibraryResult result = LibraryResult::ok;
    };
    // Runs at the end of an add's main-queue step, after the lists and the table changed and
    // before the status refresh and the save; gets the number of entries added.
    using AddCompletion = std::function<void(int added)>;

    LibraryList library;
    std::vector<FileItemPtr> filtered;
    // How many new entries one main-queue step of an add appends, so the window keeps
    // answering while a large folder joins.
    std::size_t addSlice = 2000;
    bool isFiltered = false;
    // The key in libraryFolder under which the shown list is kept.
    std::string currentFilter;
    // Not owned; set by the library operations. Operations that touch the table skip it
    // while there is none.
    platform::TableView* tableView = nullptr;
    std::unordered_map<std::string, std::vector<FileItemPtr>> libraryFolder;

    // Loads the library file and groups it; an absent or unreadable file gives an empty
    // library.
    FileManager();
    ~FileManager();
    FileManager(const FileManager&) = delete;
    FileManager& operator=(const FileManager&) = delete;

    // The list shown for the selected folder, kept in libraryFolder under currentFilter
    // (made empty there when missing).
    [[nodiscard]] std::vector<FileItemPtr>& currentView();
    void setCurrentView(std::vector<FileItemPtr> list);
    // The list the table shows: filtered while a search is on, else the current view. Table
    // rows are positions in this list.
    [[nodiscard]] const std::vector<FileItemPtr>& shownList();
    // The id that setView last showed; "" before the first.
    [[nodiscard]] const std::string& shownFolder() const { return shownFolder_; }

    // Gives the entry with the item's id the name, folder and encrypted flag of the file at
    // `filename` (a full path) after it was encrypted or decrypted; false when the entry is
    // no longer in the library. Does not save.
    bool updateItem(const FileItem& item, const std::string& filename, bool encrypted);
    // Flips the favourite mark of the entry in the table's selected row and redraws that
    // row's first column. Nothing without a selected row.
    void toggleFavourite();
    // The same for the entry in this row of the shown list, whatever is selected (a click
    // may have deselected the row it hit). Rows past the list do nothing. Does not save.
    void toggleFavourite(std::size_t row);
    // Rebuilds libraryFolder from library; this also empties the shown list.
    void sortIntoFolders();
    // Sorts the shown list (the current view, and the search result while a search is on)
    // in place, stably, by one column. Names compare lower-cased (Unicode); sizes compare as
    // their display texts; unmarked entries come before marked ones when ascending.
    void sort(sortOrder order, bool acending);
    // Writes the whole library to the library file.
    void save();

    // Adds the entry unless one with the same name in the same directory is already in the
    // library; appends it to the library and the current view. Does not touch the table.
    AddOutcome addFile(FileItemPtr item);
    // Removes every entry filed under the folder id from the library and the search result,
    // then shows the selected folder again and reloads the table. Does not save.
    void folderDelete(const std::string& id);
    // Removes the entries at the given positions of the shown list from the library, the
    // current view and the search result. Positions past the list are ignored. Does not touch
    // the table and does not save; always true.
    bool deleteItems(const platform::RowIndexes& positions);
    // Keeps the entries of the current view whose name contains the text, ignoring case; an
    // empty text ends the search.
    void filter(const std::string& text);
    void clearFilter();
    // Shows the entries of the folder with that id: Home every non-cloud entry, the cloud
    // root every cloud entry, Favourite and Encrypted the marked ones, any other folder the
    // entries filed under it. The search stays as it is.
    void setView(const std::string& id);
    // Removes the entries in the table's selected rows and their rows, then saves.
    void deleteFiles();
    // Builds the shown folder's list again from the library (the search, if on, again over
    // it, in the user's sort) and reloads the table, which keeps the selected entries that
    // are still shown. With `onlyWhenChanged` the table is left alone when the list holds
    // the same entries as before.
    void showAgainAndReload(bool onlyWhenChanged = false);

    // The cloud manager's add: appends to the library and to the folder's group when it has
    // one; no duplicate test, no view or table change, no save. System names are skipped.
    void addCloudFileToLibrary(const std::string& path, const std::string& parentFolder,
                               const std::string& url, bool cloudFile);
    // Adds one file and inserts its table row; does not save.
    AddOutcome addFileToLibrary(const std::string& path, const std::string& parentFolder,
                                const std::string& url, bool cloudFile);
    // Runs the open panel for files (or, with `includeFolders`, folders) and adds what was
    // chosen with addFilesInBackground.
    void addFilesFromFinder(bool includeFolders, const std::string& parentFolder,
                            AddCompletion completion = {});
    // Adds the given files and the files below the given folders (always walked): the file
    // system is read on a worker queue, and the entries join the library on the main queue,
    // addSlice at a time, each step appending to the lists and the table. The last step runs
    // `completion`, refreshes the main view's status, stops its progress, saves and reports
    // what could not be added.
    void addFilesInBackground(const std::vector<std::string>& paths,
                              const std::string& parentFolder, AddCompletion completion = {});
    // The same, at once on this thread (the main thread), the entries joining in one step.
    void addFilesByUrl(const std::vector<std::string>& paths, bool includeFolders,
                       const std::string& parentFolder, AddCompletion completion = {});

    // A file or folder name the library never records: hidden names and "Icon\r".
    [[nodiscard]] static bool isSystemName(std::string_view name);
    // The entries for the given paths, folders walked to their files (directory links are
    // not followed); reads the file system only, so any thread may call it.
    [[nodiscard]] static std::vector<FileItemPtr> collectEntries(
        const std::vector<std::string>& paths, const std::string& parentFolder);

  private:
    struct AddRun;
    // Rows of the shown list by id, kept for the list they were read from and read again
    // when that list changed.
    struct ShownRows {
        const std::vector<FileItemPtr>* list = nullptr;
        const FileItemPtr* data = nullptr;
        std::size_t size = 0;
        std::vector<FileItemPtr> held;  // keeps the ids the keys point into alive
        std::unordered_map<std::string_view, std::size_t> rows;
    };

    // An entry with the same name in the same directory is in the library.
    [[nodiscard]] bool isInLibrary(const FileItem& item) const;
    // The first entry with this id in the shown folder's list; nullptr when none.
    [[nodiscard]] FileItem* shownEntryWithId(const std::string& id);
    // Appends up to `limit` of the run's entries; true when the run is done.
    bool applyAdded(AddRun& run, std::size_t limit);
    void finishAdd(AddRun& run);
    void applyAddedLater(std::shared_ptr<AddRun> run);

    std::string shownFolder_;
    std::string searchText_;
    // The last sort of the shown folder's list; none until the user sorts it.
    std::optional<std::pair<sortOrder, bool>> shownSort_;
    // Counts setView calls, so an add that finishes later can tell the shown folder changed.
    std::uint64_t viewGeneration_ = 0;
    // Work posted to the main queue checks this before touching the model.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    ShownRows shownRows_;
};

// The library table's cells: the columns "favorite", "fileName", "encrypted", "path" and
// "size" of the list the table shows, and sorting by a column's key.
class LibraryTableSource final : public platform::TableDataSource {
  public:
    explicit LibraryTableSource(FileManager& manager) : manager_(manager) {}
    // The five columns with their titles and sort keys.
    [[nodiscard]] static std::vector<platform::TableColumn> columns();

    [[nodiscard]] std::size_t numberOfRows() const override;
    [[nodiscard]] platform::TableCell cell(std::size_t row,
                                           const std::string& columnIdentifier) const override;
    // Sorts by the key's order and reloads the table; a key of no order is ignored.
    void sortDescriptorsDidChange(const std::string& sortKey, bool ascending) override;
    // The entry's id.
    [[nodiscard]] std::string rowIdentifier(std::size_t row) const override;

  private:
    FileManager& manager_;
};

}  // namespace m2
