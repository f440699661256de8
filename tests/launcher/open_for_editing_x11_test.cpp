// The whole road on an X server (xvfb-run), with the real programs and their own keyring
// session: the file manager hands an encrypted document to `morvane2`, the login window's
// "Decrypt and Open" takes the password, `m2-launcher` decrypts the document and opens it in a
// stand-in default application that edits it, and seals it again once that application ends.
// A screenshot of the launcher's window is saved while the document is being edited.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScreen>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "Sealkit/SealkitFacade.h"
#include "app/services/Settings.h"
#include "support/CommandOutput.h"
#include "support/PrivateDesktop.h"
#include "support/TestFiles.h"
#include "support/X11Programs.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// The document's plain content, read through a copy so the document stays.
std::string opened(const fs::path& document, const std::string& password) {
    const m2::test::TempDir dir;
    const fs::path copy = dir / document.filename();
    fs::copy_file(document, copy);
    Decryptor decryptor(password, "");
    const SealkitOutcome plain = decryptor.decryptFileOutcome(copy.string(), "");
    return plain.succeeded() ? m2::test::readFile(plain.path) : "(" + plain.message + ")";
}

TEST(OpenForEditingX11, DecryptAndOpenEditsTheDocumentAndSealsItAgain) {
    int status = -1;
    m2test::commandOutput("xdotool getdisplaygeometry", &status);
    ASSERT_EQ(status, 0) << "no X server? run under xvfb-run";

    // A home of its own, with a session bus and an unlocked keyring that end with the test.
    m2::test::KeyringHome session;
    m2::test::TempDir dir;
    const fs::path home = session.home();
    const fs::path documents = session.documents();
    const fs::path records = dir / "records";
    const fs::path release = dir / "release";
    for (const fs::path& folder :
         {documents, records, home / ".local/share/applications", home / ".config"}) {
        fs::create_directories(folder);
    }
    // The stand-in editor is the default application for text.
    m2::test::writeFile(home / ".local/share/applications/m2-editor.desktop",
                        "[Desktop Entry]\nType=Application\nName=Editor\nExec=\"" +
                            m2::test::testHelper("recorder").string() +
                            "\" %f\nMimeType=text/plain;\n");
    m2::test::writeFile(home / ".config/mimeapps.list",
                        "[Default Applications]\ntext/plain=m2-editor.desktop\n");

    // A master password exists, so a document handed over goes to the login window.
    ::setenv("M2_DOCUMENTS_DIR", documents.c_str(), 1);
    m2::Settings::instance().setDatabaseSetup(true);
    const fs::path plain = documents / "report.txt";
    m2::test::writeFile(plain, "first line\n");
    Encryptor encryptor("Doc pass 1", "my hint", false, false);
    const SealkitOutcome sealed = encryptor.encryptFileOutcome(plain.string(), "my hint");
    ASSERT_TRUE(sealed.succeeded()) << sealed.message;
    const fs::path document = sealed.path;

    session.setEnvironment("M2_TEST_RECORD", QString::fromStdString(records.string()));
    session.setEnvironment("M2_TEST_APPEND", "edited\n");
    session.setEnvironment("M2_TEST_RELEASE", QString::fromStdString(release.string()));
    ASSERT_TRUE(session.start());

    QProcess program;
    session.run(program, QString(M2_BINARY_DIR "/morvane2"),
                {QString::fromStdString(document.string())});
    ASSERT_TRUE(program.waitForStarted(10000));

    const unsigned long login = m2::test::waitForX11Window("Morvane 2 Pro", 60);
    ASSERT_NE(login, 0UL) << "the login window did not appear in Decrypt and Open mode";
    m2test::commandOutput("xdotool windowfocus --sync " + std::to_string(login) +
                          " type --delay 30 'Doc pass 1'");
    m2test::commandOutput("xdotool key --window " + std::to_string(login) +
                          " --clearmodifiers Return");
    // The main program hands the document over and ends.
    ASSERT_TRUE(program.waitForFinished(30000)) << "morvane2 did not end after the hand-over";

    ASSERT_TRUE(m2::test::waitForPath(records, 1s));
    const auto started = std::chrono::steady_clock::now();
    bool editing = false;
    while (!editing && std::chrono::steady_clock::now() < started + 30s) {
        for (const std::string& name : m2::test::listFolder(records)) {
            editing = editing || name.ends_with(".started");
        }
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_TRUE(editing) << "the editor was not started";
    // Its run time counts from no later than here, however long a loaded machine took.
    const auto editorSeen = std::chrono::steady_clock::now();
    const unsigned long launcher = m2::test::waitForX11Window("Morvane 2 Riravevovavi", 30);
    ASSERT_NE(launcher, 0UL) << "the launcher's window did not appear";
    m2test::commandOutput("sleep 1");  // let the window finish its first paint
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(launcher).toImage();
    const fs::path folder = fs::path(M2_BINARY_DIR) / "screenshots";
    fs::create_directories(folder);
    EXPECT_TRUE(shot.save(QString::fromStdString((folder / "launcher_editing.png").string())));
    EXPECT_EQ(opened(document, "Doc pass 1"), "first line\n") << "sealed as it was meanwhile";

    // The editor ran longer than a hand-over to an open window would; now it ends.
    std::this_thread::sleep_until(editorSeen + 4s);
    m2::test::writeFile(release, "");
    std::string content;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (std::chrono::steady_clock::now() < deadline) {
        content = opened(document, "Doc pass 1");
        if (content == "first line\nedited\n") {
            break;
        }
        std::this_thread::sleep_for(200ms);
    }
    EXPECT_EQ(content, "first line\nedited\n");
    EXPECT_EQ(readStoredHint(document.string()), "my hint");
    EXPECT_EQ(m2::test::waitForX11Window("Morvane 2 Riravevovavi", 10), 0UL)
        << "the launcher ended";
    EXPECT_TRUE(session.stop());
}

}  // namespace

M2_X11_TEST_MAIN()
