// Starts the real `morvane2` on an X server (xvfb-run) with a fresh Documents folder, a
// private home and runtime folder and its own keyring session; waits for its window by
// title, saves a screenshot of it under the build folder and quits it by cancelling the
// first-run setup sheet that stands over it.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScreen>

#include <filesystem>
#include <set>
#include <string>

#include "support/CommandOutput.h"
#include "support/TestFiles.h"
#include "support/X11Programs.h"

namespace fs = std::filesystem;

namespace {

const std::string kTitle = "Morvane 2 Riravevovavi";

// The X window id of the program's widest visible window with exactly that title (the
// main window, not the setup sheet over it); 0 when none appeared within the time.
unsigned long waitForWindow(int seconds) {
    int status = -1;
    const std::string out = m2test::commandOutput(
        "timeout " + std::to_string(seconds) + " xdotool search --sync --onlyvisible --name '^" +
            kTitle + "$' 2>/dev/null",
        &status);
    if (status != 0) {
        return 0;
    }
    m2test::commandOutput("sleep 1");  // the sheet follows the window
    unsigned long widest = 0;
    int widestWidth = -1;
    const std::string all =
        m2test::commandOutput("xdotool search --onlyvisible --name '^" + kTitle + "$' 2>/dev/null");
    std::size_t start = 0;
    while (start < all.size()) {
        const std::size_t end = all.find('\n', start);
        const std::string line = all.substr(start, end - start);
        start = end == std::string::npos ? all.size() : end + 1;
        if (line.empty()) {
            continue;
        }
        const std::string geometry =
            m2test::commandOutput("xdotool getwindowgeometry --shell " + line);
        const auto at = geometry.find("WIDTH=");
        const int width = at == std::string::npos ? 0 : std::stoi(geometry.substr(at + 6));
        if (width > widestWidth) {
            widest = std::stoul(line);
            widestWidth = width;
        }
    }
    return widest;
}

// Distinct colours in the image, up to a limit: a window that drew nothing has one.
std::size_t colourCount(const QImage& image) {
    std::set<QRgb> colours;
    for (int y = 0; y < image.height() && colours.size() < 64; y += 3) {
        for (int x = 0; x < image.width() && colours.size() < 64; x += 3) {
            colours.insert(image.pixel(x, y));
        }
    }
    return colours.size();
}

TEST(MainWindowX11, FirstRunOpensTheLibraryWindowAndCancellingSetupQuits) {
    int status = -1;
    m2test::commandOutput("xdotool getdisplaygeometry", &status);
    ASSERT_EQ(status, 0) << "no X server? run under xvfb-run";
    ASSERT_NE(QGuiApplication::instance(), nullptr);

    // A home of its own, with a session bus and an unlocked keyring that end with the test.
    m2::test::KeyringHome session;
    ASSERT_TRUE(session.start());
    const fs::path documents = session.documents();

    QProcess program;
    session.run(program, QString(M2_BINARY_DIR "/morvane2"));
    ASSERT_TRUE(program.waitForStarted(10000));

    const unsigned long window = waitForWindow(60);
    ASSERT_NE(window, 0UL) << "the main window did not appear";
    QGuiApplication::processEvents();
    m2test::commandOutput("sleep 1");  // let the window finish its first paint

    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(window).toImage();
    const fs::path folder = fs::path(M2_BINARY_DIR) / "screenshots";
    fs::create_directories(folder);
    const fs::path file = folder / "main_window_first_run.png";
    ASSERT_TRUE(shot.save(QString::fromStdString(file.string())));
    EXPECT_GE(shot.width(), 640);
    EXPECT_GE(shot.height(), 400);
    EXPECT_GT(colourCount(shot), 8U) << "the window drew nothing: " << file;

    // The catalogue of the fresh Documents folder was read and written there, nowhere else.
    EXPECT_TRUE(fs::is_directory(documents / "Morvane"));

    // The setup sheet keeps the window's own keys from it; cancelling the first-run setup
    // ends the program. Escape goes to each window of the program; only the sheet takes it.
    m2test::commandOutput(
        "for w in $(xdotool search --onlyvisible --classname '^morvane2$'); do "
        "xdotool windowfocus --sync $w key Escape; done 2>/dev/null");
    ASSERT_TRUE(program.waitForFinished(20000)) << "cancelling the setup did not end the program";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(session.stop());
}

}  // namespace

M2_X11_TEST_MAIN()
