#include "M2 Launcher/OpenFiles/OpenFileManager.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <optional>
#include <string_view>
#include <system_error>

#include "app/library/CatalogueFile.h"
#include "app/library/XmlUtils.h"
#include "app/services/SecurityManagerExtensions.h"
#include "platform/FileDescriptor.h"
#include "platform/FileLock.h"
#include "platform/Paths.h"
#include "platform/StoredFile.h"
#include "platform/Text.h"
#include "platform/WorkingFolders.h"

namespace m2 {

namespace fs = std::filesystem;

namespace {

bool entryExists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

auto samePlainPath(const std::string& path) {
    return [&path](const OpenFileItem& item) {
        return platform::canonicallyEqual(item.plainPath, path);
    };
}

// "/a//b" and "/a/b" name the same file; library paths are folder + "/" + name.
std::string collapseSlashes(const std::string& path) {
    std::string collapsed;
    collapsed.reserve(path.size());
    for (const char c : path) {
        if (c != '/' || collapsed.empty() || collapsed.back() != '/') {
            collapsed += c;
        }
    }
    return collapsed;
}

// Whether the record names the document at `path`: the same file as recorded at opening or
// as its path now names, else (a file that cannot be read) the same path text.
bool namesDocument(const OpenFileItem& item, const std::string& path,
                   const std::optional<DocumentIdentity>& wanted) {
    if (wanted) {
        if (item.document && item.document->sameFile(*wanted)) {
            return true;
        }
        if (const auto now = DocumentIdentity::of(item.encryptedPath);
            now && now->sameFile(*wanted)) {
            return true;
        }
    }
    return platform::canonicallyEqual(collapseSlashes(item.encryptedPath), collapseSlashes(path));
}

}  // namespace

OpenFileManager& OpenFileManager::instance() {
    static OpenFileManager shared;
    return shared;
}

OpenFileManager::OpenFileManager()
    : openFilePath(platform::documentsFolder().string() + "/Morvane/M2_M2Open.m2o") {
    load();
}

std::vector<OpenFileItem> OpenFileManager::openFiles() const {
    const std::lock_guard guard(mutex_);
    return openFiles_;
}

// Exclusive also for questions, since reading may move a damaged list aside. The lock file is
// hidden, like every other helper file in the base folder.
platform::FileLock OpenFileManager::lockList() const {
    return platform::FileLock::acquire(openFilePath.parent_path() /
                                       ("." + openFilePath.filename().string() + ".lock"));
}

bool OpenFileManager::underLock(Access access,
                                const std::function<bool(std::vector<OpenFileItem>&)>& step,
                                std::string* reason) {
    const std::lock_guard guard(mutex_);
    if (access == Access::change) {
        // The lock file lives beside the list; a folder that cannot be made fails the save.
        (void)platform::ensureBaseFolder();
    }
    const auto lock = lockList();
    // What another process wrote meanwhile counts; a list that has gone is empty.
    openFiles_.clear();
    loadLocked();
    const bool answer = step(openFiles_);
    if (access == Access::change && answer && !saveLocked(reason)) {
        openFiles_.clear();
        loadLocked();
        return false;
    }
    return answer;
}

OpenFileManager::Claim OpenFileManager::claimDocument(const OpenFileItem& item,
                                                      std::string* reason) {
    const auto wanted = DocumentIdentity::of(item.encryptedPath);
    bool open = false;
    const bool recorded = underLock(
        Access::change,
        [&](std::vector<OpenFileItem>& list) {
            open = std::any_of(list.begin(), list.end(), [&](const OpenFileItem& listed) {
                return namesDocument(listed, item.encryptedPath, wanted) && isLive(listed);
            });
            if (open) {
                return false;
            }
            if (std::any_of(list.begin(), list.end(), samePlainPath(item.plainPath))) {
                if (reason != nullptr) {
                    *reason = "Its working copy is already listed as open";
                }
                return false;
            }
            list.push_back(item);
            return true;
        },
        reason);
    if (recorded) {
        return Claim::claimed;
    }
    return open ? Claim::alreadyOpen : Claim::notRecorded;
}

bool OpenFileManager::replaceOpenFile(const OpenFileItem& from, const OpenFileItem& to,
                                      std::string* reason) {
    return underLock(
        Access::change,
        [&](std::vector<OpenFileItem>& list) {
            const auto found =
                std::find_if(list.begin(), list.end(), samePlainPath(from.plainPath));
            if (found == list.end()) {
                if (reason != nullptr) {
                    *reason = "The document's record is no longer in the list of open files";
                }
                return false;
            }
            *found = to;
            return true;
        },
        reason);
}

std::vector<OpenFileItem> OpenFileManager::deadRecords() {
    std::vector<OpenFileItem> dead;
    (void)underLock(Access::read, [&](std::vector<OpenFileItem>& list) {
        std::copy_if(list.begin(), list.end(), std::back_inserter(dead),
                     [](const OpenFileItem& item) { return !isLive(item); });
        return false;
    });
    return dead;
}

bool OpenFileManager::addOpenFile(const OpenFileItem& item) {
    return underLock(Access::change, [&](std::vector<OpenFileItem>& list) {
        if (std::any_of(list.begin(), list.end(), samePlainPath(item.plainPath))) {
            return false;
        }
        list.push_back(item);
        return true;
    });
}

bool OpenFileManager::removeOpenFile(const OpenFileItem& item) {
    return underLock(Access::change, [&](std::vector<OpenFileItem>& list) {
        const auto found = std::find_if(list.begin(), list.end(), samePlainPath(item.plainPath));
        if (found == list.end()) {
            return false;
        }
        list.erase(found);
        return true;
    });
}

bool OpenFileManager::forceClose(const OpenFileItem& item) {
    const auto& extensions = SecurityManagerExtensions::instance();
    // The whole working sub-folder goes, editors' lock and swap files too. A working copy
    // already gone needs no removal; its record must still go, or it would be reported as
    // left behind for ever.
    const bool removed = platform::workingFolderOf(item.plainPath)
                             ? extensions.removeWorkingFolder(item.plainPath) == securityResult::OK
                             : !entryExists(item.plainPath) ||
                                   extensions.shredFile(item.plainPath) == securityResult::OK;
    if (!removed) {
        return false;
    }
    (void)removeOpenFile(item);
    return true;
}

bool OpenFileManager::checkIfFileAlreadyOpen(const std::string& path) {
    return underLock(Access::read, [&](std::vector<OpenFileItem>& list) {
        const auto found = std::find_if(list.begin(), list.end(), samePlainPath(path));
        return found != list.end() && entryExists(found->plainPath);
    });
}

bool OpenFileManager::hasOrphanedItems() {
    return underLock(Access::read, [](std::vector<OpenFileItem>& list) { return !list.empty(); });
}

bool OpenFileManager::isLive(const OpenFileItem& item) {
    const fs::path folder = fs::path(collapseSlashes(item.plainPath)).parent_path();
    if (folder.empty()) {
        return false;
    }
    const platform::UniqueFd fd(
        ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        return false;  // its folder is gone: nothing runs there any more
    }
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
        return false;  // closing the descriptor lets go again at once
    }
    return errno == EWOULDBLOCK;
}

bool OpenFileManager::isOpenForEditing(const std::string& encryptedPath) {
    return areOpenForEditing({encryptedPath}).front();
}

std::vector<bool> OpenFileManager::areOpenForEditing(
    const std::vector<std::string>& encryptedPaths) {
    std::vector<bool> open(encryptedPaths.size(), false);
    (void)underLock(Access::read, [&](std::vector<OpenFileItem>& list) {
        if (list.empty()) {
            return false;
        }
        for (std::size_t i = 0; i < encryptedPaths.size(); ++i) {
            const auto wanted = DocumentIdentity::of(encryptedPaths[i]);
            open[i] = std::any_of(list.begin(), list.end(), [&](const OpenFileItem& item) {
                return namesDocument(item, encryptedPaths[i], wanted) &&
                       entryExists(item.plainPath) && isLive(item);
            });
        }
        return false;
    });
    return open;
}

std::vector<OpenFileItem> OpenFileManager::takeDeadRecords() {
    std::vector<OpenFileItem> dead;
    (void)underLock(Access::change, [&](std::vector<OpenFileItem>& list) {
        const auto live = std::stable_partition(list.begin(), list.end(), isLive);
        dead.assign(live, list.end());
        list.erase(live, list.end());
        return !dead.empty();
    });
    return dead;
}

bool OpenFileManager::save() {
    const std::lock_guard guard(mutex_);
    (void)platform::ensureBaseFolder();
    const auto lock = lockList();
    return saveLocked();
}

void OpenFileManager::load() {
    const std::lock_guard guard(mutex_);
    const auto lock = lockList();
    loadLocked();
}

// A missing list leaves the records as they are; a damaged one (also one that is no regular
// file, too long or too deeply nested) is set aside and gives no records.
void OpenFileManager::loadLocked() {
    const platform::StoredFileContents read = platform::readStoredFile(openFilePath, kMaxListBytes);
    if (read.outcome == platform::StoredFileOutcome::missing) {
        return;
    }
    openFiles_.clear();
    std::optional<platform::XmlDocument> document;
    if (read.outcome == platform::StoredFileOutcome::read) {
        document = platform::XmlDocument::parse(read.bytes, {kMaxListDepth, kMaxListBytes});
    }
    if (!document) {
        CatalogueFile::setAside(openFilePath);
        return;
    }
    for (const auto& element : document->root().childElements(elemenName)) {
        openFiles_.emplace_back(element);
    }
}

bool OpenFileManager::saveLocked(std::string* reason) const {
    auto root = platform::XmlElement::create(rootName);
    root.addAttribute(XmlUtils::createAttribute("version", "1"));
    for (const auto& item : openFiles_) {
        root.appendCopy(item.xmlElement());
    }
    platform::XmlDocument document;
    document.setRoot(root);
    return CatalogueFile::save(openFilePath, document, reason);
}

}  // namespace m2
