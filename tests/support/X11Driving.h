#pragma once

// Drives a real program's windows on an X server with xdotool (no shell) and takes their
// screenshots with Qt. Include only from *_x11_test.cpp files, which link Qt6::Gui.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStringList>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace m2::test {

inline void pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Runs xdotool with these arguments (no shell); answers its standard output.
inline std::string xdo(const QStringList& arguments) {
    QProcess tool;
    tool.start("xdotool", arguments);
    tool.waitForFinished(30000);
    return tool.readAllStandardOutput().trimmed().toStdString();
}

// A click at a point of the window, in its own coordinates.
inline void click(unsigned long window, int x, int y) {
    xdo({"mousemove", "--window", QString::number(window), QString::number(x), QString::number(y),
         "click", "1"});
    pause(300);
}

inline void keys(unsigned long window, const QString& what) {
    xdo({"windowfocus", "--sync", QString::number(window), "key", "--clearmodifiers", what});
    pause(300);
}

// A visible window of the program other than `main` (a sheet or an alert), waiting up to
// `seconds`; 0 when none came. Found by class: an alert's title is not always searchable.
inline unsigned long waitForOtherWindow(const QProcess& program, unsigned long main, int seconds) {
    for (int tries = 0; tries < seconds * 10; ++tries) {
        const QStringList found =
            QString::fromStdString(xdo({"search", "--onlyvisible", "--pid",
                                        QString::number(program.processId()), "--classname", "."}))
                .split('\n', Qt::SkipEmptyParts);
        for (const QString& window : found) {
            if (window.toULong() != main) {
                return window.toULong();
            }
        }
        pause(100);
    }
    return 0;
}

// Waits until no window of the program but `main` is shown.
inline bool waitForOnlyMain(const QProcess& program, unsigned long main, int seconds) {
    for (int tries = 0; tries < seconds * 10; ++tries) {
        if (xdo({"search", "--onlyvisible", "--pid", QString::number(program.processId()),
                 "--classname", "."}) == std::to_string(main)) {
            return true;
        }
        pause(100);
    }
    return false;
}

inline void screenshot(unsigned long window, const std::string& name) {
    // Xvfb has no window manager to keep a sheet above its window.
    xdo({"windowraise", QString::number(window)});
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(window).toImage();
    const std::filesystem::path folder = std::filesystem::path(M2_BINARY_DIR) / "screenshots";
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(shot.save(QString::fromStdString((folder / name).string())));
}

}  // namespace m2::test
