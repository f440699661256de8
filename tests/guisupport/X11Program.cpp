#include "guisupport/X11Program.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QProcessEnvironment>
#include <QScreen>
#include <chrono>
#include <thread>

namespace fs = std::filesystem;

namespace m2::test {

X11Program::X11Program() : home_(dir_ / "home") {
    fs::create_directories(documents());
    const fs::path runtime = dir_ / "run";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(home_.string()));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.string()));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString((home_ / ".config").string()));
    env.insert("XDG_DATA_HOME", QString::fromStdString((home_ / ".local/share").string()));
    env.insert("M2_DOCUMENTS_DIR", QString::fromStdString(documents().string()));
    env.remove("QT_QPA_PLATFORM");
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    program_.setProcessEnvironment(env);
    program_.setProcessChannelMode(QProcess::ForwardedChannels);
}

X11Program::~X11Program() {
    if (program_.state() != QProcess::NotRunning) {
        program_.kill();
        program_.waitForFinished(5000);
    }
}

bool X11Program::start() {
    program_.start(QString(M2_BINARY_DIR "/morvane2"), {});
    return program_.waitForStarted(10000);
}

std::string X11Program::xdotool(const QStringList& arguments) {
    QProcess tool;
    tool.start("xdotool", arguments);
    tool.waitForFinished(60000);
    return tool.readAllStandardOutput().trimmed().toStdString();
}

unsigned long X11Program::waitForWindow(const std::string& title, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        const std::string found = xdotool(
            {"search", "--onlyvisible", "--name", QString::fromStdString("^" + title + "$")});
        if (!found.empty()) {
            return std::stoul(found.substr(0, found.find('\n')));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return 0;
}

std::string X11Program::waitForOtherWindow(unsigned long window, int seconds) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    const QString pid = QString::number(program_.processId());
    while (std::chrono::steady_clock::now() < end) {
        const QStringList found = QString::fromStdString(xdotool({"search", "--onlyvisible",
                                                                  "--pid", pid, "--name", "."}))
                                      .split('\n', Qt::SkipEmptyParts);
        for (const QString& other : found) {
            if (other.toULong() != window) {
                return other.toStdString();
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return {};
}

bool X11Program::isVisible(const std::string& window) {
    QProcess tool;
    tool.start("xdotool", {"getwindowname", QString::fromStdString(window)});
    tool.waitForFinished(10000);
    const QString map = QString::fromStdString(xdotool({"search", "--onlyvisible", "--name", "."}));
    return tool.exitCode() == 0 && map.split('\n').contains(QString::fromStdString(window));
}

QImage X11Program::screenshot(unsigned long window, const std::string& name) {
    QGuiApplication::processEvents();
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(window).toImage();
    const fs::path folder = fs::path(M2_BINARY_DIR) / "screenshots";
    fs::create_directories(folder);
    shot.save(QString::fromStdString((folder / (name + ".png")).string()));
    return shot;
}

}  // namespace m2::test
