#include "platform/FileEvents.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <unordered_map>
#include <utility>

#include "platform/FileDescriptor.h"
#include "platform/Installed.h"
#include "platform/RunLoop.h"

namespace m2::platform {

namespace fs = std::filesystem;

std::uint32_t eventFlagsForInotifyMask(std::uint32_t mask, bool isSymlink) noexcept {
    using namespace FileEventFlag;
    if ((mask & IN_Q_OVERFLOW) != 0) {
        return mustScanSubDirs | kernelDropped;
    }
    if ((mask & IN_UNMOUNT) != 0) {
        return unmount;
    }
    std::uint32_t flags = 0;
    if ((mask & IN_CREATE) != 0) {
        flags |= itemCreated;
    }
    if ((mask & (IN_DELETE | IN_DELETE_SELF)) != 0) {
        flags |= itemRemoved;
    }
    if ((mask & IN_ATTRIB) != 0) {
        flags |= itemInodeMetaMod;
    }
    if ((mask & (IN_MOVED_FROM | IN_MOVED_TO | IN_MOVE_SELF)) != 0) {
        flags |= itemRenamed;
    }
    if ((mask & (IN_MODIFY | IN_CLOSE_WRITE)) != 0) {
        flags |= itemModified;
    }
    if (flags == 0) {
        return 0;
    }
    if (isSymlink) {
        return flags | itemIsSymlink;
    }
    return flags | ((mask & IN_ISDIR) != 0 ? itemIsDir : itemIsFile);
}

namespace {

std::atomic<std::uint64_t> g_lastEventId{0};

constexpr std::uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_MOVED_FROM |
                                     IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                                     IN_EXCL_UNLINK;

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

bool isSymlinkAt(const std::string& path) {
    std::error_code error;
    return fs::is_symlink(fs::symlink_status(path, error));
}

bool isBelow(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

class InotifyStream final : public InotifyFileEventStream {
  public:
    InotifyStream(RunLoop* loop, std::vector<std::string> roots, FileEventBatchHandler handler)
        : loop_(loop), roots_(std::move(roots)), handler_(std::move(handler)) {}
    ~InotifyStream() override { close(); }
    InotifyStream(const InotifyStream&) = delete;
    InotifyStream& operator=(const InotifyStream&) = delete;

    // Makes the inotify instance and the watches; false when no folder could be watched.
    bool open();

    bool start() override {
        if (fd_ && pathOfWatch_.empty()) {
            close();  // every watched folder has gone: look for them afresh
        }
        if (!fd_ && !open()) {
            return false;
        }
        if (!source_) {
            RunLoop& loop = loop_ != nullptr ? *loop_ : RunLoop::main();
            source_ = loop.addReadableSource(fd_.get(), [this] { onReadable(); });
        }
        return true;
    }

    void stop() override { close(); }

    std::size_t watchCount() const override { return pathOfWatch_.size(); }

  private:
    void close() {
        source_.reset();
        fd_.reset();
        pathOfWatch_.clear();
        watchOfPath_.clear();
        movedDirs_.clear();
    }

    [[nodiscard]] bool isRoot(const std::string& path) const {
        for (const auto& root : roots_) {
            if (root == path) {
                return true;
            }
        }
        return false;
    }

    void emit(std::vector<FileEventRecord>& batch, const std::string& path, std::uint32_t flags) {
        if (flags == 0) {
            return;
        }
        // A file being written sends one event per write; adjacent repeats say nothing new.
        if (!batch.empty() && batch.back().path == path && batch.back().flags == flags) {
            return;
        }
        batch.push_back({path, flags, ++g_lastEventId});
    }

    int addWatch(const std::string& path, bool root);
    void remember(int wd, const std::string& path);
    void forget(int wd);
    void addTree(const std::string& top, std::vector<FileEventRecord>* created,
                 std::set<int>& seen);
    [[nodiscard]] std::vector<std::pair<std::string, int>> watchesOfTree(
        const std::string& top) const;
    void dropTree(const std::string& top);
    void renameTree(const std::string& from, const std::string& to);
    void rewatchAll();
    void handle(const inotify_event& event, std::vector<FileEventRecord>& batch);
    void onReadable();

    RunLoop* loop_;
    std::vector<std::string> roots_;
    FileEventBatchHandler handler_;
    UniqueFd fd_;
    std::unique_ptr<RunLoopSource> source_;
    std::unordered_map<int, std::string> pathOfWatch_;
    std::map<std::string, int> watchOfPath_;
    std::unordered_map<std::uint32_t, std::string> movedDirs_;  // by cookie, this drain only
    bool toldWatchLimit_ = false;
};

bool InotifyStream::open() {
    fd_.reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!fd_) {
        std::cout << "Unable to watch folders: " << std::strerror(errno) << '\n';
        return false;
    }
    std::set<int> seen;
    for (const auto& root : roots_) {
        addTree(root, nullptr, seen);
    }
    if (pathOfWatch_.empty()) {
        std::cout << "Unable to watch folders: none of them can be watched\n";
        close();
        return false;
    }
    return true;
}

int InotifyStream::addWatch(const std::string& path, bool root) {
    // A watched folder given as a link is followed; links below it never are.
    const std::uint32_t mask = root ? kWatchMask : kWatchMask | IN_DONT_FOLLOW;
    const int wd = ::inotify_add_watch(fd_.get(), path.c_str(), mask);
    if (wd < 0 && errno == ENOSPC && !toldWatchLimit_) {
        toldWatchLimit_ = true;
        std::cout << "Unable to watch every folder below " << path
                  << ": the system limit of watched folders is reached\n";
    }
    return wd;
}

void InotifyStream::remember(int wd, const std::string& path) {
    if (const auto known = pathOfWatch_.find(wd);
        known != pathOfWatch_.end() && known->second == path) {
        return;
    }
    forget(wd);
    // A folder renamed over another one takes its path; the one replaced is on its way out.
    if (const auto replaced = watchOfPath_.find(path); replaced != watchOfPath_.end()) {
        forget(replaced->second);
    }
    pathOfWatch_[wd] = path;
    watchOfPath_[path] = wd;
}

void InotifyStream::forget(int wd) {
    const auto known = pathOfWatch_.find(wd);
    if (known == pathOfWatch_.end()) {
        return;
    }
    if (const auto byPath = watchOfPath_.find(known->second);
        byPath != watchOfPath_.end() && byPath->second == wd) {
        watchOfPath_.erase(byPath);
    }
    pathOfWatch_.erase(known);
}

// Watches `top` and every directory below it. With `created`, also reports everything found
// as created, so files written into a new directory before its watch existed are not missed.
void InotifyStream::addTree(const std::string& top, std::vector<FileEventRecord>* created,
                            std::set<int>& seen) {
    std::vector<std::string> pending{top};
    while (!pending.empty()) {
        const std::string dir = std::move(pending.back());
        pending.pop_back();
        const int wd = addWatch(dir, isRoot(dir));
        // The same directory reached twice (a bind mount inside itself) is walked once.
        if (wd < 0 || !seen.insert(wd).second) {
            continue;
        }
        remember(wd, dir);
        std::error_code error;
        for (fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, error),
             end;
             !error && it != end; it.increment(error)) {
            const std::string path = it->path().string();
            const fs::file_status status = it->symlink_status(error);
            if (error) {
                error.clear();
                continue;
            }
            const bool isDir = fs::is_directory(status);
            if (created != nullptr) {
                emit(*created, path,
                     eventFlagsForInotifyMask(IN_CREATE | (isDir ? IN_ISDIR : 0),
                                              fs::is_symlink(status)));
            }
            if (isDir) {
                pending.push_back(path);
            }
        }
    }
}

// The watches of `top` and of every directory below it.
std::vector<std::pair<std::string, int>> InotifyStream::watchesOfTree(
    const std::string& top) const {
    std::vector<std::pair<std::string, int>> found;
    if (const auto it = watchOfPath_.find(top); it != watchOfPath_.end()) {
        found.emplace_back(*it);
    }
    // "top/" sorts after names such as "top-x", so the subtree is one range of its own.
    for (auto it = watchOfPath_.lower_bound(top + "/");
         it != watchOfPath_.end() && isBelow(it->first, top); ++it) {
        found.emplace_back(*it);
    }
    return found;
}

void InotifyStream::dropTree(const std::string& top) {
    for (const auto& [path, wd] : watchesOfTree(top)) {
        ::inotify_rm_watch(fd_.get(), wd);
        forget(wd);
    }
}

void InotifyStream::renameTree(const std::string& from, const std::string& to) {
    const auto moved = watchesOfTree(from);
    for (const auto& [path, wd] : moved) {
        watchOfPath_.erase(path);
    }
    for (const auto& [path, wd] : moved) {
        remember(wd, to + path.substr(from.size()));
    }
}

// After an overflow the watches may be behind: add what is missing, forget what has gone.
void InotifyStream::rewatchAll() {
    std::set<int> seen;
    for (const auto& root : roots_) {
        addTree(root, nullptr, seen);
    }
    std::vector<int> stale;
    for (const auto& [wd, path] : pathOfWatch_) {
        if (seen.count(wd) == 0) {
            stale.push_back(wd);
        }
    }
    for (const int wd : stale) {
        ::inotify_rm_watch(fd_.get(), wd);
        forget(wd);
    }
}

void InotifyStream::handle(const inotify_event& event, std::vector<FileEventRecord>& batch) {
    if ((event.mask & IN_Q_OVERFLOW) != 0) {
        for (const auto& root : roots_) {
            emit(batch, root, eventFlagsForInotifyMask(event.mask, false));
        }
        rewatchAll();
        return;
    }
    const auto known = pathOfWatch_.find(event.wd);
    if (known == pathOfWatch_.end()) {
        return;  // a watch already dropped
    }
    const std::string dir = known->second;
    if ((event.mask & IN_IGNORED) != 0) {
        forget(event.wd);
        return;
    }
    if ((event.mask & IN_UNMOUNT) != 0) {
        emit(batch, dir, eventFlagsForInotifyMask(event.mask, false));
        return;
    }
    if ((event.mask & (IN_DELETE_SELF | IN_MOVE_SELF)) != 0) {
        // Below a root the parent's own event reports it; a root has no parent watched.
        if (isRoot(dir)) {
            emit(batch, dir, eventFlagsForInotifyMask(event.mask | IN_ISDIR, false));
            if ((event.mask & IN_MOVE_SELF) != 0) {
                dropTree(dir);  // its path no longer leads to it
            }
        }
        return;
    }
    const std::string path = event.len > 0 ? dir + "/" + event.name : dir;
    const bool isDir = (event.mask & IN_ISDIR) != 0;
    const bool mayBeLink = !isDir && (event.mask & (IN_CREATE | IN_MOVED_TO | IN_ATTRIB)) != 0;
    emit(batch, path, eventFlagsForInotifyMask(event.mask, mayBeLink && isSymlinkAt(path)));
    if (!isDir) {
        return;
    }
    if ((event.mask & IN_MOVED_FROM) != 0) {
        movedDirs_[event.cookie] = path;
    } else if ((event.mask & IN_MOVED_TO) != 0) {
        const auto from = movedDirs_.find(event.cookie);
        if (from != movedDirs_.end()) {
            renameTree(from->second, path);
            movedDirs_.erase(from);
        } else {
            std::set<int> seen;
            addTree(path, &batch, seen);
        }
    } else if ((event.mask & IN_CREATE) != 0) {
        std::set<int> seen;
        addTree(path, &batch, seen);
    }
}

void InotifyStream::onReadable() {
    std::vector<FileEventRecord> batch;
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd_.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            handle(*event, batch);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    // A directory moved away without arriving below a watched folder has left.
    for (const auto& [cookie, path] : movedDirs_) {
        dropTree(path);
    }
    movedDirs_.clear();
    if (!batch.empty()) {
        // Last, and through a copy: the handler may release this stream.
        const auto handler = handler_;
        handler(std::move(batch));
    }
}

Installed<FileEventService, InotifyFileEventService> g_sharedService;

}  // namespace

std::unique_ptr<FileEventStream> InotifyFileEventService::createStream(
    const std::vector<std::string>& paths, FileEventBatchHandler handler) {
    std::vector<std::string> roots;
    for (const auto& path : paths) {
        roots.push_back(withoutTrailingSlashes(path));
    }
    auto stream = std::make_unique<InotifyStream>(loop_, std::move(roots), std::move(handler));
    if (!stream->open()) {
        return nullptr;
    }
    return stream;
}

FileEventService& FileEventService::shared() {
    return g_sharedService.get();
}

std::shared_ptr<FileEventService> FileEventService::install(
    std::shared_ptr<FileEventService> service) {
    return g_sharedService.install(std::move(service));
}

}  // namespace m2::platform
