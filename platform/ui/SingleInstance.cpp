#include "platform/ui/SingleInstance.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QVariant>

#include <optional>
#include <system_error>
#include <utility>

namespace m2::platform::ui {

namespace {

constexpr char answerByte = 'K';

QByteArray handOverMessage(const std::vector<std::string>& paths) {
    QByteArray message;
    for (const auto& path : paths) {
        std::error_code error;
        auto absolute = std::filesystem::absolute(path, error);
        const std::string text = error ? path : absolute.string();
        // A zero byte cannot be part of a path; one inside would end the record early.
        message.append(text.c_str());
        message.append('\0');
    }
    message.append('\0');
    return message;
}

// Sends the paths to the instance listening at `socketPath` and waits for its answer. The
// instance may hold the lock a moment before it listens, so connecting is retried.
bool handOver(const std::filesystem::path& socketPath, const std::vector<std::string>& paths,
              std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    QLocalSocket socket;
    const QString name = QString::fromStdString(socketPath.string());
    while (true) {
        socket.connectToServer(name);
        if (socket.waitForConnected(
                static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0)))) {
            break;
        }
        if (deadline.hasExpired()) {
            return false;
        }
        socket.abort();
        QThread::msleep(50);
    }
    socket.write(handOverMessage(paths));
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
            return false;
        }
    }
    while (socket.bytesAvailable() < 1) {
        if (deadline.hasExpired() ||
            !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            return false;
        }
    }
    char answer = 0;
    return socket.read(&answer, 1) == 1 && answer == answerByte;
}

// The paths of one complete hand-over at the start of `buffer`, taken out of it; none while
// the closing empty record has not arrived.
std::optional<std::vector<std::string>> takeHandOver(QByteArray& buffer) {
    std::vector<std::string> paths;
    qsizetype start = 0;
    while (true) {
        const qsizetype end = buffer.indexOf('\0', start);
        if (end < 0) {
            return std::nullopt;
        }
        if (end == start) {
            buffer.remove(0, end + 1);
            return paths;
        }
        paths.emplace_back(buffer.constData() + start, static_cast<std::size_t>(end - start));
        start = end + 1;
    }
}

}  // namespace

SingleInstance::Claim SingleInstance::claim(const std::filesystem::path& folder,
                                            const std::vector<std::string>& paths,
                                            std::chrono::milliseconds timeout) {
    const auto lockFile = folder / "instance.lock";
    const auto socketPath = folder / "instance.socket";
    auto lock = FileLock::tryAcquire(lockFile);
    if (lock.held()) {
        std::unique_ptr<SingleInstance> instance(new SingleInstance(std::move(lock), socketPath));
        std::string message;
        if (!instance->listen(message)) {
            // Still the one instance (the lock is held); later starts cannot reach it.
            return {Role::primary, std::move(instance), message};
        }
        return {Role::primary, std::move(instance), {}};
    }
    if (!std::filesystem::exists(lockFile)) {
        return {Role::unguarded, nullptr,
                "Could not make the lock file \"" + lockFile.string() + "\"."};
    }
    if (handOver(socketPath, paths, timeout)) {
        return {Role::handedOver, nullptr, {}};
    }
    return {Role::failed, nullptr,
            "Morvane 2 Riravevovavi is already running, but did not answer."};
}

SingleInstance::SingleInstance(FileLock lock, std::filesystem::path socketPath)
    : lock_(std::move(lock)), socketPath_(std::move(socketPath)), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

SingleInstance::~SingleInstance() {
    server_->close();
}

bool SingleInstance::listen(std::string& message) {
    const QString name = QString::fromStdString(socketPath_.string());
    // The lock is ours, so a socket file left there is from an instance that has ended.
    QLocalServer::removeServer(name);
    if (!server_->listen(name)) {
        message = "Could not listen on \"" + socketPath_.string() +
                  "\": " + server_->errorString().toStdString();
        return false;
    }
    return true;
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        read(socket);
    }
}

void SingleInstance::read(QLocalSocket* socket) {
    QVariant buffered = socket->property("m2HandOver");
    QByteArray buffer = buffered.toByteArray() + socket->readAll();
    if (buffer.size() > static_cast<qsizetype>(maxHandOverBytes)) {
        socket->abort();
        return;
    }
    auto paths = takeHandOver(buffer);
    socket->setProperty("m2HandOver", buffer);
    if (!paths) {
        return;
    }
    socket->write(&answerByte, 1);
    socket->flush();
    socket->disconnectFromServer();
    // Delivered from the event loop: a handler may show a modal alert, and the socket must
    // not be inside its own signal then.
    QMetaObject::invokeMethod(
        this, [this, list = std::move(*paths)]() mutable { deliver(std::move(list)); },
        Qt::QueuedConnection);
}

void SingleInstance::deliver(std::vector<std::string> paths) {
    if (!handler_) {
        pending_.push_back(std::move(paths));
        return;
    }
    handler_(paths);
}

void SingleInstance::setHandler(PathsHandler handler) {
    handler_ = std::move(handler);
    auto waiting = std::exchange(pending_, {});
    for (auto& paths : waiting) {
        deliver(std::move(paths));
    }
}

}  // namespace m2::platform::ui
