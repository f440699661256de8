#pragma once

// For tests that run the real programs on an X server (xvfb-run) and take screenshots of
// their windows with Qt. Include only from *_x11_test.cpp files, which link Qt6::Gui.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <string>

#include "support/CommandOutput.h"

namespace m2::test {

// The X window id of a visible window whose title is exactly `title`; 0 when none appeared
// within `seconds`.
inline unsigned long waitForX11Window(const std::string& title, int seconds) {
    int status = -1;
    const std::string out = m2test::commandOutput(
        "timeout " + std::to_string(seconds) + " xdotool search --sync --onlyvisible --name '^" +
            title + "$' 2>/dev/null | head -1",
        &status);
    return status == 0 && !out.empty() ? std::stoul(out) : 0;
}

}  // namespace m2::test

// The test program's main: a Qt GUI application on X only to take screenshots (the programs
// under test are separate processes); without a display, or when listing, the tests alone.
#define M2_X11_TEST_MAIN()                                                                 \
    int main(int argc, char** argv) {                                                      \
        ::testing::InitGoogleTest(&argc, argv);                                            \
        if (::testing::GTEST_FLAG(list_tests) || qEnvironmentVariableIsEmpty("DISPLAY")) { \
            return RUN_ALL_TESTS();                                                        \
        }                                                                                  \
        qputenv("QT_QPA_PLATFORM", "xcb");                                                 \
        QGuiApplication app(argc, argv);                                                   \
        return RUN_ALL_TESTS();                                                            \
    }
