#pragma once

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "M2 Launcher/OpenFiles/OpenFileItem.h"
#include "platform/FileLock.h"

namespace m2 {

// The list of documents open for editing, "<Documents>/Morvane/M2_M2Open.m2o", shared by the
// main program and every running launcher. Each change and each question takes a lock on a
// lock file beside the list and reloads the list under it, so two processes never lose each
// other's records; every save replaces the file atomically, and an unreadable list is moved
// aside rather than written over. Safe to use from several threads.
class OpenFileManager {
  public:
    [[nodiscard]] static OpenFileManager& instance();

    // Loads the list at "<Documents>/Morvane/M2_M2Open.m2o".
    OpenFileManager();
    OpenFileManager(const OpenFileManager&) = delete;
    OpenFileManager& operator=(const OpenFileManager&) = delete;

    // The records as last loaded, in insertion order.
    [[nodiscard]] std::vector<OpenFileItem> openFiles() const;

    // False when a record with the same plain path is listed (nothing changes); otherwise
    // appends the record, saves and answers whether it was saved.
    bool addOpenFile(const OpenFileItem& item);

    // What claimDocument answers.
    enum class Claim { claimed, alreadyOpen, notRecorded };
    // In one step under the list's lock: refuses a document that a running launcher has open
    // (the same file, however its path is spelt), else records `item` and saves. A list that
    // cannot be written answers notRecorded with the system's reason and keeps nothing.
    [[nodiscard]] Claim claimDocument(const OpenFileItem& item, std::string* reason = nullptr);
    // Replaces the record with `from`'s plain path by `to`; false, with the reason, when the
    // record is not listed or the list cannot be written.
    [[nodiscard]] bool replaceOpenFile(const OpenFileItem& from, const OpenFileItem& to,
                                       std::string* reason = nullptr);
    // The records whose launcher has ended (crashed or killed), left on the list.
    [[nodiscard]] std::vector<OpenFileItem> deadRecords();
    // Removes the first record with the item's plain path and saves; false when none.
    bool removeOpenFile(const OpenFileItem& item);
    // Removes the working copy (with its whole working sub-folder), then its record; false,
    // with the record kept, when the working copy could not be removed.
    bool forceClose(const OpenFileItem& item);
    // Whether `path` is listed as a working copy that still exists.
    [[nodiscard]] bool checkIfFileAlreadyOpen(const std::string& path);
    // Whether any record is listed: working copies a run that ended early left behind.
    [[nodiscard]] bool hasOrphanedItems();

    // Whether the document at this encrypted path is open for editing: a record names the
    // same file (by device and inode; by its path text, runs of "/" as one, when either
    // cannot be read), its working copy still exists and its launcher still runs.
    // Reads only; the main program asks it before a batch touches the document.
    [[nodiscard]] bool isOpenForEditing(const std::string& encryptedPath);
    // The same question for many documents at once, answered in their order from one read of
    // the list: a batch asks it for all its files before it starts.
    [[nodiscard]] std::vector<bool> areOpenForEditing(
        const std::vector<std::string>& encryptedPaths);
    // Takes the records whose launcher has ended (crashed or killed) off the list and answers
    // them; their plain copies are left where they are.
    [[nodiscard]] std::vector<OpenFileItem> takeDeadRecords();
    // Whether the launcher that made the record is still running: each launcher holds an
    // exclusive lock on its working sub-folder (the plain copy's folder) while it runs, so a
    // lock that can be taken belongs to no one.
    [[nodiscard]] static bool isLive(const OpenFileItem& item);
    void cleanup() {}

    // Writes the records as they are in memory; false when nothing was written.
    bool save();
    // Replaces the records in memory with those of the file; a missing file leaves them.
    void load();

    const std::filesystem::path openFilePath;
    // A longer or deeper list is damaged: it is set aside, never read whole.
    static constexpr std::size_t kMaxListBytes = 4 * 1024 * 1024;
    static constexpr int kMaxListDepth = 16;
    static constexpr std::string_view rootName = "openFiles";
    static constexpr std::string_view elemenName = "file";

  private:
    enum class Access { read, change };
    // Runs `step` on the list reloaded under the file lock; with Access::change, saves when
    // `step` answers true. Answers what `step` answered, or false when that save failed
    // (with the reason; the records in memory are then those of the file again).
    bool underLock(Access access, const std::function<bool(std::vector<OpenFileItem>&)>& step,
                   std::string* reason = nullptr);
    [[nodiscard]] platform::FileLock lockList() const;
    void loadLocked();
    bool saveLocked(std::string* reason = nullptr) const;

    mutable std::mutex mutex_;
    std::vector<OpenFileItem> openFiles_;
};

}  // namespace m2
