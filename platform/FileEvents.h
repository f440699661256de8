#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace m2::platform {

class RunLoop;

// Event flag bits, the same values as the desktop platform's file-system event flags.
namespace FileEventFlag {
inline constexpr std::uint32_t mustScanSubDirs = 0x1;
inline constexpr std::uint32_t kernelDropped = 0x4;
inline constexpr std::uint32_t unmount = 0x80;
inline constexpr std::uint32_t itemCreated = 0x100;
inline constexpr std::uint32_t itemRemoved = 0x200;
inline constexpr std::uint32_t itemInodeMetaMod = 0x400;
inline constexpr std::uint32_t itemRenamed = 0x800;
inline constexpr std::uint32_t itemModified = 0x1000;
inline constexpr std::uint32_t itemIsFile = 0x10000;
inline constexpr std::uint32_t itemIsDir = 0x20000;
inline constexpr std::uint32_t itemIsSymlink = 0x40000;
}  // namespace FileEventFlag

// The event flags for one inotify event mask; 0 for masks that report no change (such as a
// watch being removed). `isSymlink` tells what the kernel does not: that the item is a
// symbolic link.
[[nodiscard]] std::uint32_t eventFlagsForInotifyMask(std::uint32_t mask, bool isSymlink) noexcept;

// One change as the service reports it.
struct FileEventRecord {
    std::string path;
    std::uint32_t flags = 0;
    std::uint64_t id = 0;  // strictly increasing over all streams of the process

    friend bool operator==(const FileEventRecord&, const FileEventRecord&) = default;
};

// Receives every batch of a stream, on the main loop, in one call.
using FileEventBatchHandler = std::function<void(std::vector<FileEventRecord> batch)>;

// A stream of file events below a list of folders. Destroying it releases it: its handler
// is not called afterwards, even when that happens inside the handler.
class FileEventStream {
  public:
    virtual ~FileEventStream() = default;
    // Starts delivering changes made from now on; answers whether the stream is running.
    // Starting a running stream keeps it as it is.
    virtual bool start() = 0;
    // Stops delivering; changes made while stopped are not reported later.
    virtual void stop() = 0;
};

class FileEventService {
  public:
    virtual ~FileEventService() = default;

    // A stopped stream over `paths`, or none when the folders cannot be watched at all
    // (after printing why).
    [[nodiscard]] virtual std::unique_ptr<FileEventStream> createStream(
        const std::vector<std::string>& paths, FileEventBatchHandler handler) = 0;

    // The installed service; until one is installed, inotify over the main run loop.
    [[nodiscard]] static FileEventService& shared();
    // Replaces the shared service and answers the previous one.
    static std::shared_ptr<FileEventService> install(std::shared_ptr<FileEventService> service);
};

// Recursive watching over inotify: one watch per directory, symbolic links never followed
// below the watched folders, a queue overflow reported as "must scan subdirectories" on each
// watched folder.
class InotifyFileEventService final : public FileEventService {
  public:
    // Streams register with `loop`; by default with the main run loop of the moment each
    // stream starts.
    explicit InotifyFileEventService(RunLoop* loop = nullptr) : loop_(loop) {}

    std::unique_ptr<FileEventStream> createStream(const std::vector<std::string>& paths,
                                                  FileEventBatchHandler handler) override;

  private:
    RunLoop* loop_;
};

// The inotify stream with what tests need to see inside it.
class InotifyFileEventStream : public FileEventStream {
  public:
    // How many directories are watched now (0 while stopped).
    [[nodiscard]] virtual std::size_t watchCount() const = 0;
};

}  // namespace m2::platform
