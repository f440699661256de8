#pragma once

#include <QObject>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileLock.h"

class QLocalServer;
class QLocalSocket;

namespace m2::platform::ui {

// Keeps one main application per user, so two processes never write the same catalogue.
// The first one holds a lock file in the private runtime folder for its whole life and
// listens on a local socket beside it; a later one finds the lock taken, hands its paths to
// the first over the socket and ends. A hand-over is the paths as UTF-8, each ended by a
// zero byte, then one more zero byte; the first instance answers one byte once it has them.
class SingleInstance final : public QObject {
    Q_OBJECT

  public:
    using PathsHandler = std::function<void(const std::vector<std::string>&)>;

    enum class Role {
        primary,     // this process is the one instance; `instance` listens
        handedOver,  // another instance has the paths; this process should end
        failed,      // another instance holds the lock but did not take the paths
        unguarded,   // the folder cannot hold a lock; this process runs without the guard
    };

    struct Claim {
        Role role = Role::unguarded;
        std::unique_ptr<SingleInstance> instance;  // only for `primary`
        std::string message;                       // why `failed` or `unguarded`
    };

    // A hand-over larger than this is dropped: no real list of paths comes near it.
    static constexpr std::size_t maxHandOverBytes = 1U << 20U;

    // Becomes the one instance for `folder`, or hands `paths` (made absolute) to the one
    // running, waiting for it up to `timeout`. Needs a QCoreApplication.
    [[nodiscard]] static Claim claim(const std::filesystem::path& folder,
                                     const std::vector<std::string>& paths,
                                     std::chrono::milliseconds timeout = std::chrono::seconds(10));

    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Receives every hand-over on the main thread, after the sender has been answered; an
    // empty list means a start without paths. Hand-overs that came before a handler was set
    // are delivered to it at once.
    void setHandler(PathsHandler handler);

    [[nodiscard]] const std::filesystem::path& socketPath() const { return socketPath_; }

  private:
    SingleInstance(FileLock lock, std::filesystem::path socketPath);
    [[nodiscard]] bool listen(std::string& message);
    void accept();
    void read(QLocalSocket* socket);
    void deliver(std::vector<std::string> paths);

    FileLock lock_;
    std::filesystem::path socketPath_;
    QLocalServer* server_;  // a child of this object
    PathsHandler handler_;
    std::vector<std::vector<std::string>> pending_;
};

}  // namespace m2::platform::ui
