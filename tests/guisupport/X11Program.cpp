#include "guisupport/X11Program.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <chrono>
#include <thread>

namespace fs = std::filesystem;

namespace m2::test {

namespace {

void end(QProcess& process) {
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
}

void pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace

X11Program::~X11Program() {
    (void)stop();
}

bool X11Program::start() {
    if (!session_.start()) {
        return false;
    }
    session_.run(program_, QString(M2_BINARY_DIR "/morvane2"));
    return program_.waitForStarted(10000);
}

bool X11Program::restartProgram() {
    end(program_);
    session_.run(program_, QString(M2_BINARY_DIR "/morvane2"));
    return program_.waitForStarted(10000);
}

bool X11Program::stop() {
    end(program_);
    return session_.stop();
}

QStringList X11Program::windowsTitled(const std::string& title) const {
    return QString::fromStdString(
               xdotool({"search", "--onlyvisible", "--pid", QString::number(program_.processId()),
                        "--name", QString::fromStdString("^" + title + "$")}))
        .split('\n', Qt::SkipEmptyParts);
}

unsigned long X11Program::setUpMasterPassword(const std::string& title, const std::string& password,
                                              const std::string& hint) {
    QStringList windows;
    for (int tries = 0; tries < 300 && windows.size() < 2; ++tries) {
        pause(200);
        windows = windowsTitled(title);
    }
    if (windows.size() < 2) {
        return 0;
    }
    pause(2000);  // the sheet takes its focus once shown
    // The sheet is the narrower of the two windows.
    QString sheet;
    int sheetWidth = 0;
    for (const QString& window : windows) {
        const QString shape =
            QString::fromStdString(xdotool({"getwindowgeometry", "--shell", window}));
        const int at = shape.indexOf("WIDTH=");
        const int width = at < 0 ? 0 : shape.mid(at + 6).section('\n', 0, 0).toInt();
        if (sheet.isEmpty() || width < sheetWidth) {
            sheet = window;
            sheetWidth = width;
        }
    }
    const auto type = [](const std::string& text) {
        xdotool({"type", "--delay", "30", QString::fromStdString(text)});
    };
    xdotool({"windowfocus", "--sync", sheet});
    type(password);
    xdotool({"key", "Tab"});
    type(password);
    xdotool({"key", "Tab"});
    type(hint);
    xdotool({"key", "Return"});
    // The getting-started question, in a window of its own ("No"); found by class, as an
    // alert's title is not always searchable by name.
    const QString pid = QString::number(program_.processId());
    QString question;
    for (int tries = 0; tries < 50 && question.isEmpty(); ++tries) {
        pause(200);
        const QStringList found =
            QString::fromStdString(
                xdotool({"search", "--onlyvisible", "--pid", pid, "--classname", "."}))
                .split('\n', Qt::SkipEmptyParts);
        for (const QString& window : found) {
            if (!windows.contains(window)) {
                question = window;
            }
        }
    }
    if (question.isEmpty()) {
        return 0;
    }
    xdotool({"windowfocus", "--sync", question, "key", "Escape"});
    for (int tries = 0; tries < 50; ++tries) {
        pause(200);
        const QStringList left = windowsTitled(title);
        if (left.size() == 1) {
            return left.front().toULong();
        }
    }
    return 0;
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
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
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
