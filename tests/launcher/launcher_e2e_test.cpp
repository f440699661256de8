// The launcher as a real process against the real engine, with a stand-in default application
// (the "recorder" helper) in a private desktop. The program itself where no alert comes up;
// its own code behind scripted alerts ("scripted_launcher") where one does.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Sealkit/SealkitFacade.h"
#include "support/MemoryScan.h"
#include "support/PrivateDesktop.h"
#include "support/PrivateMounts.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::test::listFolder;
using m2::test::pathExists;
using m2::test::PrivateDesktop;
using m2::test::readFile;
using m2::test::testHelper;
using m2::test::waitForPath;
using m2::test::writeFile;
using namespace std::chrono_literals;

namespace {

// A small tmpfs over a folder of the test's desktop; fill() fills it to the last block, so the
// next write the launcher makes there finds the disk full. Unmounted when it goes.
class FullTmpfsAt {
  public:
    FullTmpfsAt(fs::path at, const char* options) : at_(std::move(at)) {
        fs::create_directories(at_);
        if (!m2::test::privateMountsAvailable(&whyNot_)) {
            return;
        }
        if (m2::test::privilegedMount("tmpfs", at_.c_str(), "tmpfs", 0, options) != 0) {
            whyNot_ = std::string("mounting a small tmpfs failed (") + std::strerror(errno) + ")";
            return;
        }
        mounted_ = true;
    }
    ~FullTmpfsAt() {
        if (mounted_) {
            (void)m2::test::privilegedUnmount(at_.c_str(), MNT_DETACH);
        }
    }
    FullTmpfsAt(const FullTmpfsAt&) = delete;
    FullTmpfsAt& operator=(const FullTmpfsAt&) = delete;

    [[nodiscard]] bool mounted() const { return mounted_; }
    [[nodiscard]] const std::string& whyNot() const { return whyNot_; }
    void fill() const {
        const int fd = ::open((at_ / "filler").c_str(), O_WRONLY | O_CREAT, 0600);
        const std::string block(4096, 'f');
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        ::close(fd);
    }

  private:
    fs::path at_;
    bool mounted_ = false;
    std::string whyNot_;
};

// How long a step that takes about a second may take before the test gives up on it: a
// sanitizer build on a machine busy with other work is many times slower.
constexpr auto kPatience = 90s;

const std::string kInvalid = "Invalid command line arguments\n";

fs::path realLauncher() {
    return fs::path(M2_BINARY_DIR) / "m2-launcher";
}

// One launcher run: started without a shell in the private desktop's environment, the
// password (when given) written to its standard input through a pipe, its standard output
// kept in a file.
class LauncherRun {
  public:
    LauncherRun(const PrivateDesktop& desktop, const fs::path& program,
                const std::vector<std::string>& arguments,
                const std::optional<std::string>& passwordOnInput,
                const std::vector<std::string>& extra = {})
        : output_(desktop / ("launcher-" + std::to_string(++runs_) + ".out")) {
        std::vector<std::string> argv = {program.string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        const std::vector<std::string> env = desktop.environment(extra);
        std::vector<char*> cargv;
        for (const auto& a : argv) {
            cargv.push_back(const_cast<char*>(a.c_str()));
        }
        cargv.push_back(nullptr);
        std::vector<char*> cenv;
        for (const auto& e : env) {
            cenv.push_back(const_cast<char*>(e.c_str()));
        }
        cenv.push_back(nullptr);

        int input[2] = {-1, -1};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (passwordOnInput) {
            EXPECT_EQ(::pipe2(input, O_CLOEXEC), 0);
            posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        }
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addchdir_np(&actions, (desktop / "cwd").c_str());
        EXPECT_EQ(::posix_spawn(&pid_, cargv[0], &actions, nullptr, cargv.data(), cenv.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        if (passwordOnInput) {
            ::close(input[0]);
            EXPECT_EQ(::write(input[1], passwordOnInput->data(), passwordOnInput->size()),
                      static_cast<ssize_t>(passwordOnInput->size()));
            ::close(input[1]);
        }
    }
    ~LauncherRun() {
        if (!status_) {
            ::kill(pid_, SIGKILL);
            (void)waitFor(10s);
        }
    }
    LauncherRun(const LauncherRun&) = delete;
    LauncherRun& operator=(const LauncherRun&) = delete;

    [[nodiscard]] pid_t pid() const { return pid_; }
    // Its exit status once it has ended; std::nullopt when it still runs after `timeout`.
    std::optional<int> waitFor(std::chrono::milliseconds timeout = kPatience) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!status_) {
            int status = 0;
            const pid_t done = ::waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            } else if (std::chrono::steady_clock::now() > deadline) {
                break;
            } else {
                std::this_thread::sleep_for(20ms);
            }
        }
        return status_;
    }
    [[nodiscard]] std::string output() const { return readFile(output_); }

  private:
    static inline int runs_ = 0;
    fs::path output_;
    pid_t pid_ = -1;
    std::optional<int> status_;
};

class LauncherE2eTest : public ::testing::Test {
  protected:
    LauncherE2eTest() {
        desktop_.addApplication("m2-editor", "MimeType=text/plain;inode/directory;\n");
        desktop_.setDefault("text/plain", "m2-editor");
        desktop_.setDefault("inode/directory", "m2-editor");
        fs::create_directories(desktop_ / "tmp");
        ::chmod((desktop_ / "tmp").c_str(), 0700);
        fs::create_directories(desktop_ / "docs");
    }
    // Stand-in applications still waiting are let go and outlived, so none writes into the
    // private desktop once it is gone.
    ~LauncherE2eTest() override {
        release();
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        for (const auto& one : desktop_.recorded()) {
            while (running(one.pid) && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(20ms);
            }
        }
    }
    static bool running(pid_t pid) {
        const std::string stat = "/proc/" + std::to_string(pid) + "/stat";
        if (!pathExists(stat)) {
            return false;
        }
        const std::string text = readFile(stat);
        const auto close = text.rfind(')');
        return close != std::string::npos && text.size() > close + 2 && text[close + 2] != 'Z';
    }

    // A document sealed under `password` and `hint`, made from "<name>.txt" holding `text`.
    fs::path seal(const std::string& name, const std::string& text, const std::string& password,
                  const std::string& hint = "my hint") {
        const fs::path plain = desktop_ / "docs" / (name + ".txt");
        writeFile(plain, text);
        Encryptor encryptor(password, hint, false, false);
        const SealkitOutcome sealed = encryptor.encryptFileOutcome(plain.string(), hint);
        EXPECT_TRUE(sealed.succeeded()) << sealed.message;
        return sealed.path;
    }
    // The document's plain content, read through a copy so the document stays.
    static std::string opened(const fs::path& document, const std::string& password) {
        const m2::test::TempDir dir;
        const fs::path copy = dir / document.filename();
        std::error_code error;
        fs::copy_file(document, copy, error);
        EXPECT_FALSE(error) << document << ": " << error.message();
        if (error) {
            return {};
        }
        fs::permissions(copy, fs::perms::owner_write, fs::perm_options::add);
        Decryptor decryptor(password, "");
        const SealkitOutcome plain = decryptor.decryptFileOutcome(copy.string(), "");
        EXPECT_TRUE(plain.succeeded()) << plain.message;
        return plain.succeeded() ? readFile(plain.path) : std::string();
    }

    // Environment of the launcher and, through it, of the stand-in editor.
    std::vector<std::string> environment(const std::vector<std::string>& extra = {}) const {
        std::vector<std::string> env = {
            "QT_QPA_PLATFORM=offscreen", "TMPDIR=" + (desktop_ / "tmp").string(),
            "M2_TEST_ALERTS=" + alerts().string(), "M2_TEST_CLOSE=" + closeRequest().string()};
        env.insert(env.end(), extra.begin(), extra.end());
        return env;
    }
    [[nodiscard]] fs::path alerts() const { return desktop_ / "alerts"; }
    [[nodiscard]] fs::path closeRequest() const { return desktop_ / "close"; }
    [[nodiscard]] fs::path openFilesList() const {
        return desktop_ / "home/Documents/Morvane/M2_M2Open.m2o";
    }
    // The alerts shown so far: message and informative text.
    [[nodiscard]] std::vector<std::pair<std::string, std::string>> shownAlerts() const {
        std::vector<std::pair<std::string, std::string>> all;
        if (!pathExists(alerts())) {
            return all;
        }
        std::istringstream records(readFile(alerts()));
        for (std::string record; std::getline(records, record, '\x1e');) {
            const auto split = record.find('\x1f');
            all.emplace_back(record.substr(0, split), record.substr(split + 1));
        }
        return all;
    }
    bool waitForAlerts(std::size_t count, std::chrono::milliseconds timeout = kPatience) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (shownAlerts().size() < count) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(20ms);
        }
        return true;
    }
    // Working sub-folders left in both private folders.
    [[nodiscard]] std::vector<std::string> workingFolders() const {
        std::vector<std::string> left;
        for (const fs::path& root : {desktop_ / "run/morvane2", desktop_ / "tmp"}) {
            std::error_code error;
            for (const auto& entry : fs::recursive_directory_iterator(root, error)) {
                if (entry.path().filename().string().starts_with("document-")) {
                    left.push_back(entry.path().string());
                }
            }
        }
        return left;
    }
    // Editor starts on a file (reveals start it on a folder).
    [[nodiscard]] std::vector<PrivateDesktop::Recorded> editors() const {
        std::vector<PrivateDesktop::Recorded> found;
        for (auto& one : desktop_.recorded()) {
            if (!one.arguments.empty() && !fs::is_directory(one.arguments[0])) {
                found.push_back(one);
            }
        }
        return found;
    }
    bool waitForEditor(std::size_t count = 1) const {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (editors().size() < count) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(20ms);
        }
        return true;
    }
    [[nodiscard]] std::vector<std::string> reveals() const {
        std::vector<std::string> found;
        for (auto& one : desktop_.recorded()) {
            if (!one.arguments.empty() && fs::is_directory(one.arguments[0])) {
                found.push_back(one.arguments[0]);
            }
        }
        return found;
    }
    [[nodiscard]] std::string listText() const {
        return pathExists(openFilesList()) ? readFile(openFilesList()) : std::string();
    }
    void release() const { writeFile(desktop_.releaseFile(), ""); }
    // Every file anywhere in the private desktop (home, documents, both private folders)
    // that holds `text` in plain.
    [[nodiscard]] std::vector<std::string> plainCopiesOf(const std::string& text) const {
        std::vector<std::string> found;
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(desktop_.root(), error);
             !error && it != fs::end(it); it.increment(error)) {
            if (fs::is_regular_file(it->symlink_status(error)) &&
                readFile(it->path()).find(text) != std::string::npos) {
                found.push_back(it->path().string());
            }
        }
        return found;
    }
    void expectSealedButNotPlaced(const fs::path& document, const fs::path& now,
                                  const std::string& before, const std::string& reason);

    PrivateDesktop desktop_;
};

std::string processCommandLine(pid_t pid) {
    return readFile("/proc/" + std::to_string(pid) + "/cmdline");
}

// The edit lands in the document, which keeps its own hint; nothing plain and no record stays;
// the password is on no command line. Both forms of the argument, and names and passwords
// holding what a shell or a comma split would take apart.
TEST_F(LauncherE2eTest, AnEditIsSealedBackUnderTheDocumentsOwnHint) {
    struct Case {
        std::string name;
        std::string password;
        bool onInput;
    };
    const std::vector<Case> cases = {
        {"plain notes", "secret-password", false},
        {"it's \"q\" $(touch PWNED) `x`, naïve ü", "pa,ss \"$HOME\" `id` ünï", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(desktop_.releaseFile());
        fs::remove_all(desktop_ / "records");
        fs::create_directories(desktop_ / "records");
        const fs::path document = seal(c.name, "first line\n", c.password);
        const std::string argument = c.onInput ? document.string() + ",-,hint"
                                               : document.string() + "," + c.password + ",hint";
        LauncherRun launcher(desktop_, realLauncher(), {argument},
                             c.onInput ? std::optional<std::string>(c.password) : std::nullopt,
                             environment({"M2_TEST_APPEND=edited\n",
                                          "M2_TEST_RELEASE=" + desktop_.releaseFile().string()}));
        ASSERT_TRUE(waitForEditor()) << launcher.output() << testing::PrintToString(shownAlerts())
                                     << " status " << testing::PrintToString(launcher.waitFor(0ms))
                                     << " folders " << testing::PrintToString(workingFolders());
        // The editor ran before it was seen: its run time counts from no later than here.
        const auto editorSeen = std::chrono::steady_clock::now();
        const auto editor = editors().back();
        ASSERT_EQ(editor.arguments.size(), 1u);
        EXPECT_TRUE(editor.arguments[0].starts_with((desktop_ / "run/morvane2").string()));
        EXPECT_NE(listText().find("encryptedPath"), std::string::npos) << listText();
        if (c.onInput) {
            EXPECT_EQ(processCommandLine(launcher.pid()).find(c.password), std::string::npos);
        }
        EXPECT_EQ(processCommandLine(editor.pid).find(c.password), std::string::npos);

        // An application that ends within moments says nothing about the editing, so this one
        // runs longer than that before it ends, however long a loaded machine took to start it.
        std::this_thread::sleep_until(editorSeen + 4s);
        release();
        ASSERT_EQ(launcher.waitFor(), 0) << launcher.output();
        EXPECT_EQ(opened(document, c.password), "first line\nedited\n");
        EXPECT_EQ(readStoredHint(document.string()), "my hint");
        EXPECT_EQ(workingFolders(), std::vector<std::string>{});
        EXPECT_EQ(listText().find("encryptedPath"), std::string::npos) << listText();
        EXPECT_FALSE(pathExists(desktop_ / "cwd/PWNED"));
        fs::remove(document);
    }
}

TEST_F(LauncherE2eTest, ArgumentsThatDoNotSplitIntoThreePiecesAreRefused) {
    const fs::path document = seal("doc", "text", "secret-password");
    const std::string path = document.string();
    for (const std::string& argument :
         {path + ",secret-password", path + ",,hint", path + ",secret,password,hint",
          ",," + path + ",secret-password"}) {
        SCOPED_TRACE(argument);
        LauncherRun launcher(desktop_, realLauncher(), {"--ignored", argument}, std::nullopt,
                             environment());
        EXPECT_EQ(launcher.waitFor(), 0);
        EXPECT_EQ(launcher.output(), kInvalid);
    }
    // Only the first document of the command line counts.
    LauncherRun two(desktop_, realLauncher(), {"a.m2p,x", "also.m2p,x"}, std::nullopt,
                    environment());
    EXPECT_EQ(two.waitFor(), 0);
    EXPECT_EQ(two.output(), kInvalid);
    EXPECT_TRUE(editors().empty());
    EXPECT_EQ(workingFolders(), std::vector<std::string>{});
}

// Started without a document (or with one only the file manager's open request named), the
// launcher waits with its spinner and its close button does nothing.
TEST_F(LauncherE2eTest, WithoutADocumentTheWindowStays) {
    LauncherRun idle(desktop_, testHelper("scripted_launcher"), {"/d/report.txt"}, std::nullopt,
                     environment());
    writeFile(closeRequest(), "");
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (pathExists(closeRequest()) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_FALSE(pathExists(closeRequest())) << "the close button was pressed";
    EXPECT_FALSE(idle.waitFor(500ms));
    EXPECT_EQ(idle.output(), "");
    EXPECT_TRUE(shownAlerts().empty());
}

TEST_F(LauncherE2eTest, AWrongPasswordOpensNothing) {
    const fs::path document = seal("doc", "text", "secret-password");
    const std::string before = readFile(document);
    LauncherRun launcher(desktop_, testHelper("scripted_launcher"), {document.string() + ",-,hint"},
                         std::string("wrong-password"), environment());
    EXPECT_EQ(launcher.waitFor(), 0);
    const auto shown = shownAlerts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, "Could not open encrypted file");
    EXPECT_EQ(shown[0].second, "Password incorrect ");
    EXPECT_EQ(workingFolders(), std::vector<std::string>{});
    EXPECT_TRUE(desktop_.recorded().empty());
    EXPECT_EQ(readFile(document), before);
}

TEST_F(LauncherE2eTest, ASecondLauncherOnTheSameDocumentIsRefused) {
    const fs::path document = seal("doc", "text\n", "secret-password");
    const std::vector<std::string> env =
        environment({"M2_TEST_APPEND=one\n", "M2_TEST_EXIT=1",
                     "M2_TEST_RELEASE=" + desktop_.releaseFile().string()});
    LauncherRun first(desktop_, testHelper("scripted_launcher"), {document.string() + ",-,hint"},
                      std::string("secret-password"), env);
    ASSERT_TRUE(waitForEditor());
    // Named with a doubled slash: the same document all the same.
    const std::string doubled = (document.parent_path() / "" / document.filename()).string();
    LauncherRun second(desktop_, testHelper("scripted_launcher"), {doubled + ",-,hint"},
                       std::string("secret-password"), env);
    EXPECT_EQ(second.waitFor(), 0);
    ASSERT_EQ(shownAlerts().size(), 1u);
    EXPECT_EQ(shownAlerts()[0].first, "File is already open for editing");
    EXPECT_EQ(shownAlerts()[0].second, "Please close the App the has the file open and try again");
    EXPECT_EQ(editors().size(), 1u);

    release();
    EXPECT_EQ(first.waitFor(), 0);
    EXPECT_EQ(opened(document, "secret-password"), "text\none\n");
    EXPECT_EQ(shownAlerts().size(), 1u);
}

// What an editor can do in the working folder besides editing the copy, one case each: after
// the editing ends the document and every file sealed beside it hold exactly what the editor
// saved, nothing plain is left anywhere, and the alert says what happened. Run as a normal
// user: root would pass the engine's check that a locked copy can be overwritten.
TEST_F(LauncherE2eTest, WhatTheEditorSavedInTheWorkingFolderIsSealedAndTold) {
    const std::string marker = "edited-by-the-editor\n";
    const std::string edited = "text\n" + marker;
    struct Case {
        std::string edit;      // M2_TEST_EDIT
        bool documentLocked;   // the owner made the document read-only
        std::string document;  // what the document holds afterwards
        std::vector<std::pair<std::string, std::string>> beside;  // new sealed files: name, text
        std::string title;                                        // of the one alert; empty: none
        std::string details;  // with <doc>, <beside> for the paths
    };
    const std::string keptOne = "A file you saved while editing letter.txt is kept encrypted";
    const std::string gone =
        "The edited copy letter.txt was removed before its application ended, so there was "
        "nothing to encrypt: <doc> is unchanged.";
    const std::vector<Case> cases = {
        {"other",
         false,
         "text\n",
         {{"other-letter.txt.m2p", edited}},
         keptOne,
         "Encrypted with the same password and hint as <doc>: <beside>."},
        {"delete", false, "text\n", {}, "Nothing to encrypt again", gone},
        {"rename",
         false,
         "text\n",
         {{"renamed-letter.txt.m2p", edited}},
         keptOne,
         "Encrypted with the same password and hint as <doc>: <beside>. " + gone},
        {"traces", false, edited, {}, "", ""},
        {"readonly", false, edited, {}, "", ""},
        {"", true, edited, {}, "", ""},
    };
    const auto filled = [](std::string text, const std::string& key, const std::string& value) {
        for (auto at = text.find(key); at != std::string::npos; at = text.find(key)) {
            text.replace(at, key.size(), value);
        }
        return text;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edit.empty() ? "locked document" : c.edit);
        for (const std::string& folder : workingFolders()) {
            fs::remove_all(folder);  // what an earlier failing case left
        }
        fs::remove(openFilesList());
        fs::remove(alerts());
        fs::remove_all(desktop_ / "docs");
        fs::create_directories(desktop_ / "docs");
        const fs::path document = seal("letter", "text\n", "secret-password");
        if (c.documentLocked) {
            fs::permissions(document, fs::perms::owner_write, fs::perm_options::remove);
        }
        LauncherRun launcher(
            desktop_, testHelper("scripted_launcher"), {document.string() + ",-,hint"},
            std::string("secret-password"),
            environment({"M2_TEST_APPEND=" + marker, "M2_TEST_EDIT=" + c.edit, "M2_TEST_EXIT=1"}));
        EXPECT_EQ(launcher.waitFor(), 0) << launcher.output();

        EXPECT_EQ(opened(document, "secret-password"), c.document);
        EXPECT_EQ(readStoredHint(document.string()), "my hint");
        // The document keeps its lock, and a copy the editor locked gives its lock to what
        // holds its edits, as the batch does.
        const bool locked =
            (fs::status(document).permissions() & fs::perms::owner_write) == fs::perms::none;
        EXPECT_EQ(locked, c.documentLocked || c.edit == "readonly");
        std::vector<std::string> expectedNames = {document.filename().string()};
        std::string besidePaths;
        for (const auto& [name, text] : c.beside) {
            const fs::path sealed = desktop_ / "docs" / name;
            EXPECT_EQ(opened(sealed, "secret-password"), text) << name;
            EXPECT_EQ(readStoredHint(sealed.string()), "my hint") << name;
            expectedNames.push_back(name);
            besidePaths += (besidePaths.empty() ? "" : ", ") + sealed.string();
        }
        std::sort(expectedNames.begin(), expectedNames.end());
        EXPECT_EQ(listFolder(desktop_ / "docs"), expectedNames);
        EXPECT_EQ(plainCopiesOf(marker), std::vector<std::string>{});
        EXPECT_EQ(workingFolders(), std::vector<std::string>{});
        EXPECT_EQ(listText().find("encryptedPath"), std::string::npos) << listText();
        using Alert = std::pair<std::string, std::string>;
        std::vector<Alert> expected;
        if (!c.title.empty()) {
            expected.emplace_back(c.title, filled(filled(c.details, "<doc>", document.string()),
                                                  "<beside>", besidePaths));
        }
        EXPECT_EQ(shownAlerts(), expected);
        fs::permissions(document, fs::perms::owner_write, fs::perm_options::add);
    }
}

// A file saved beside the copy whose name is taken beside the document gets the engine's copy
// name; the file that had the name stays as it was.
TEST_F(LauncherE2eTest, AFileSavedBesideTheCopyNeverReplacesOneBesideTheDocument) {
    const fs::path document = seal("letter", "text\n", "secret-password");
    const fs::path taken = desktop_ / "docs/other-letter.txt.m2p";
    writeFile(taken, "someone else's file");
    LauncherRun launcher(
        desktop_, testHelper("scripted_launcher"), {document.string() + ",-,hint"},
        std::string("secret-password"),
        environment({"M2_TEST_APPEND=edited\n", "M2_TEST_EDIT=other", "M2_TEST_EXIT=1"}));
    EXPECT_EQ(launcher.waitFor(), 0) << launcher.output();
    EXPECT_EQ(readFile(taken), "someone else's file");
    const fs::path copyName = desktop_ / "docs/other-letter.txt_(copy 1).m2p";
    EXPECT_EQ(opened(copyName, "secret-password"), "text\nedited\n");
    ASSERT_EQ(shownAlerts().size(), 1u);
    EXPECT_EQ(shownAlerts()[0].second, "Encrypted with the same password and hint as " +
                                           document.string() + ": " + copyName.string() + ".");
    EXPECT_EQ(workingFolders(), std::vector<std::string>{});
}

// A sealed edit that cannot be put in place (the document's folder renamed meanwhile, or its
// disk full) is named with the system's reason, as encrypted already; the document stays as it
// was, the record stays, and the next launcher offers to put the edit in place.
void LauncherE2eTest::expectSealedButNotPlaced(const fs::path& document, const fs::path& now,
                                               const std::string& before,
                                               const std::string& reason) {
    EXPECT_EQ(readFile(now), before);
    const auto folders = workingFolders();
    ASSERT_EQ(folders.size(), 1u);
    const auto left = listFolder(folders[0]);
    ASSERT_EQ(left.size(), 1u);
    const std::string kept = (fs::path(folders[0]) / left[0]).string();
    EXPECT_EQ(opened(kept, "secret-password"), "text\nedited\n");
    EXPECT_EQ(readStoredHint(kept), "my hint");
    const auto shown = shownAlerts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, "Could not automatically re-encrypt files");
    EXPECT_EQ(shown[0].second, "Could not save \"" + document.string() + "\": " + reason +
                                   ". Your edits are encrypted already and kept at " + kept +
                                   ": there is nothing to encrypt or shred. Open " +
                                   document.string() + " again to put them in place.");
    EXPECT_NE(listText().find(document.filename().string()), std::string::npos);
    EXPECT_EQ(plainCopiesOf("edited\n"), std::vector<std::string>{});
    // Shown in its folder (no file manager on this desktop's bus: the folder opens).
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    const auto shownFolder = [&] {
        const auto all = reveals();
        return std::find(all.begin(), all.end(), folders[0]) != all.end();
    };
    while (!shownFolder() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_TRUE(shownFolder());
}

TEST_F(LauncherE2eTest, ASealedEditThatCannotBePutInPlaceIsNamedAsEncryptedAlready) {
    const fs::path document = seal("letter", "text\n", "secret-password");
    const std::string before = readFile(document);
    {
        LauncherRun launcher(desktop_, testHelper("scripted_launcher"),
                             {document.string() + ",-,hint"}, std::string("secret-password"),
                             environment({"M2_TEST_APPEND=edited\n", "M2_TEST_EXIT=1",
                                          "M2_TEST_RELEASE=" + desktop_.releaseFile().string()}));
        ASSERT_TRUE(waitForEditor());
        fs::rename(desktop_ / "docs", desktop_ / "renamed");
        release();
        EXPECT_EQ(launcher.waitFor(), 0);
    }
    const fs::path now = desktop_ / "renamed" / document.filename();
    expectSealedButNotPlaced(document, now, before, std::strerror(ENOENT));
    // Back where it was, the next launcher offers the sealed edit and puts it in place on Yes.
    fs::rename(desktop_ / "renamed", desktop_ / "docs");
    fs::remove(alerts());
    LauncherRun next(desktop_, testHelper("scripted_launcher"), {document.string() + ",-,hint"},
                     std::string("wrong-password"), environment({"M2_TEST_ANSWERS=Yes"}));
    EXPECT_EQ(next.waitFor(), 0);
    ASSERT_FALSE(shownAlerts().empty());
    EXPECT_EQ(shownAlerts()[0].first,
              "Changes to a file opened for editing earlier were not put in place");
    EXPECT_EQ(opened(document, "secret-password"), "text\nedited\n");
    EXPECT_EQ(workingFolders(), std::vector<std::string>{});
}

TEST_F(LauncherE2eTest, AFullDiskWhileSealingBackKeepsTheSealedEditAndSaysWhy) {
    const fs::path small = desktop_ / "small";
    const FullTmpfsAt disk(small, "size=64k,mode=0700");
    if (!disk.mounted()) {
        GTEST_SKIP() << disk.whyNot() << "; the full disk cannot be shown";
    }
    const fs::path sealed = seal("letter", "text\n", "secret-password");
    const fs::path document = small / sealed.filename();
    fs::copy_file(sealed, document);
    fs::remove(sealed);
    const std::string before = readFile(document);
    disk.fill();
    LauncherRun launcher(desktop_, testHelper("scripted_launcher"), {document.string() + ",-,hint"},
                         std::string("secret-password"),
                         environment({"M2_TEST_APPEND=edited\n", "M2_TEST_EXIT=1"}));
    EXPECT_EQ(launcher.waitFor(), 0) << launcher.output();
    expectSealedButNotPlaced(document, document, before, std::strerror(ENOSPC));
}

// The real vim, scripted without a terminal: it saves the edit, then saves the text as
// "other.txt" in the working folder and quits; its swap file goes with the folder.
TEST_F(LauncherE2eTest, VimsSaveAsInTheWorkingFolderIsKeptEncrypted) {
    const fs::path vim = "/usr/bin/vim";
    if (::access(vim.c_str(), X_OK) != 0) {
        GTEST_SKIP() << "vim is not installed here";
    }
    // The marker is put together by vim, so no file of the test holds it in plain.
    writeFile(desktop_ / "edit.vim",
              "call append(line('$'), 'by-vim-' . 'edited')\n"
              "write\n"
              "call append(line('$'), 'by-vim-' . 'saved-as')\n"
              "execute 'saveas ' . fnameescape(expand('%:p:h') . '/other.txt')\n"
              "cquit\n");
    writeFile(desktop_ / "data/applications/m2-vim.desktop",
              "[Desktop Entry]\nType=Application\nName=vim\nExec=" + vim.string() +
                  " -es -u NONE -i NONE -N -S " + (desktop_ / "edit.vim").string() +
                  " %f\nMimeType=text/plain;\n");
    desktop_.setDefault("text/plain", "m2-vim");
    const fs::path document = seal("letter", "text\n", "secret-password");
    LauncherRun launcher(desktop_, testHelper("scripted_launcher"), {document.string() + ",-,hint"},
                         std::string("secret-password"), environment());
    EXPECT_EQ(launcher.waitFor(), 0) << launcher.output();
    EXPECT_EQ(opened(document, "secret-password"), "text\nby-vim-edited\n");
    const fs::path other = desktop_ / "docs/other.txt.m2p";
    EXPECT_EQ(opened(other, "secret-password"), "text\nby-vim-edited\nby-vim-saved-as\n");
    ASSERT_EQ(shownAlerts().size(), 1u) << launcher.output();
    EXPECT_EQ(shownAlerts()[0].second, "Encrypted with the same password and hint as " +
                                           document.string() + ": " + other.string() + ".");
    EXPECT_EQ(plainCopiesOf("by-vim-edited"), std::vector<std::string>{});
    EXPECT_EQ(workingFolders(), std::vector<std::string>{});
}

// Closing while the editor runs asks first; No keeps the window, Yes drops the copy unsealed.
TEST_F(LauncherE2eTest, ClosingWhileTheEditorRunsAsksAndYesDropsTheCopy) {
    const fs::path document = seal("doc", "text\n", "secret-password");
    const std::string before = readFile(document);
    LauncherRun launcher(desktop_, testHelper("scripted_launcher"), {document.string() + ",-,hint"},
                         std::string("secret-password"),
                         environment({"M2_TEST_APPEND=edited\n", "M2_TEST_ANSWERS=No,Yes",
                                      "M2_TEST_RELEASE=" + desktop_.releaseFile().string()}));
    ASSERT_TRUE(waitForEditor());
    writeFile(closeRequest(), "");
    ASSERT_TRUE(waitForAlerts(1));
    EXPECT_FALSE(launcher.waitFor(300ms)) << "No keeps the launcher";
    writeFile(closeRequest(), "");
    EXPECT_EQ(launcher.waitFor(), 0);

    const std::string question = "The App that opened doc.txt is still running.";
    const std::string text =
        "To preserve any changes made to your file please Quit the App the opened your file "
        "(typically Ctrl+Q).\n\nAre you sure you would like to quit Morvane 2 Riravevovavi? all "
        "changes will be lost.";
    using Alert = std::pair<std::string, std::string>;
    EXPECT_EQ(shownAlerts(), (std::vector<Alert>{{question, text}, {question, text}}));
    EXPECT_EQ(readFile(document), before);
    EXPECT_EQ(workingFolders(), std::vector<std::string>{});
    EXPECT_EQ(listText().find("encryptedPath"), std::string::npos);
    EXPECT_FALSE(editors()[0].after) << "the editor was still running";
    release();
}

// Once the edited copy is sealed again and the launcher ends, nothing in its memory holds the
// password that came through the pipe or the key made from it.
TEST_F(LauncherE2eTest, TheLauncherEndsWithNoPasswordOrKeyInMemory) {
    if (!m2::test::memoryScanTells) {
        GTEST_SKIP() << m2::test::memoryScanSkipped;
    }
    const std::string password =
        "Ochre 27 gulls above the Tarnbridge weir, long after the evening ferry has gone";
    const fs::path document = seal("doc", "text\n", password);
    const fs::path report = desktop_ / "scan";
    LauncherRun launcher(
        desktop_, testHelper("scripted_launcher"), {document.string() + ",-,hint"}, password,
        environment({"M2_TEST_APPEND=edited\n", "M2_TEST_ANSWERS=Yes",
                     "M2_TEST_SCAN_MASKED=" + m2::test::MaskedValue::of(password).maskedHex(),
                     "M2_TEST_SCAN_REPORT=" + report.string()}));
    EXPECT_EQ(launcher.waitFor(), 0) << launcher.output();
    EXPECT_EQ(opened(document, password), "text\nedited\n");
    EXPECT_EQ(readFile(report), "nothing");
}

// An application that hands the file to a window already open ends at once: the launcher
// asks before it seals, again on each close request, and seals on Yes.
TEST_F(LauncherE2eTest, AnApplicationThatEndsAtOnceIsAskedAbout) {
    const fs::path document = seal("doc", "text\n", "secret-password");
    LauncherRun launcher(desktop_, testHelper("scripted_launcher"), {document.string() + ",-,hint"},
                         std::string("secret-password"),
                         environment({"M2_TEST_APPEND=edited\n", "M2_TEST_ANSWERS=No,Yes"}));
    ASSERT_TRUE(waitForAlerts(1));
    EXPECT_FALSE(launcher.waitFor(300ms));
    writeFile(closeRequest(), "");
    EXPECT_EQ(launcher.waitFor(), 0);
    const std::string question = "Have you finished editing doc.txt?";
    const std::string text =
        "Save your changes and close the file in its application, then choose Yes: Morvane 2 "
        "will encrypt it again. Choose No to keep editing.";
    using Alert = std::pair<std::string, std::string>;
    EXPECT_EQ(shownAlerts(), (std::vector<Alert>{{question, text}, {question, text}}));
    EXPECT_EQ(opened(document, "secret-password"), "text\nedited\n");
    EXPECT_EQ(workingFolders(), std::vector<std::string>{});
}

// A launcher killed while editing leaves its plain copy; the next launcher tells the user,
// shows the copy, and keeps both it and its record.
TEST_F(LauncherE2eTest, ACopyLeftByAKilledLauncherIsReportedAndKept) {
    const fs::path document = seal("doc", "text\n", "secret-password");
    {
        LauncherRun killed(desktop_, testHelper("scripted_launcher"),
                           {document.string() + ",-,hint"}, std::string("secret-password"),
                           environment({"M2_TEST_APPEND=edited\n",
                                        "M2_TEST_RELEASE=" + desktop_.releaseFile().string()}));
        ASSERT_TRUE(waitForEditor());
        ::kill(killed.pid(), SIGKILL);
        EXPECT_EQ(killed.waitFor(), 128 + SIGKILL);
    }
    const auto folders = workingFolders();
    ASSERT_EQ(folders.size(), 1u);
    const fs::path copy = fs::path(folders[0]) / "doc.txt";

    // The same document again, with a wrong password: the orphan first, then the refusal.
    LauncherRun next(desktop_, testHelper("scripted_launcher"), {document.string() + ",-,hint"},
                     std::string("wrong-password"), environment());
    EXPECT_EQ(next.waitFor(), 0);
    const auto shown = shownAlerts();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].first, "A file opened for editing earlier was not encrypted again");
    EXPECT_EQ(shown[0].second, "Its plain copy is kept at " + copy.string() +
                                   ". Open it to recover your changes, then encrypt or shred it.");
    EXPECT_EQ(shown[1].second, "Password incorrect ");
    EXPECT_EQ(readFile(copy), "text\nedited\n");
    // Its record stays as long as the copy holds the edits.
    EXPECT_NE(listText().find("encryptedPath"), std::string::npos);
    ASSERT_TRUE(waitForPath(desktop_ / "records", kPatience));
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (reveals().empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(reveals(), std::vector<std::string>{folders[0]});
    release();
}

}  // namespace

namespace {

// The path an alert about left edits names: after "kept at " or "at ", up to ". ".
std::string namedPath(const std::string& text) {
    for (const std::string lead : {"Its plain copy is kept at ", "your master password, at "}) {
        if (const auto at = text.find(lead); at != std::string::npos) {
            const auto from = at + lead.size();
            return text.substr(from, text.find(". ", from) - from);
        }
    }
    return {};
}

bool isLeftEditsAlert(const std::string& message) {
    return message == "A file opened for editing earlier was not encrypted again" ||
           message == "Changes to a file opened for editing earlier were not put in place";
}

}  // namespace

// The launcher killed at each step of its seal-back, and at random moments in it: afterwards
// the edits are in the document, or the next launcher names a file that holds them (and puts a
// sealed one in place on Yes); nothing plain is ever left beside the document.
TEST_F(LauncherE2eTest, AKillDuringTheSealBackNeverStrandsTheEdits) {
    const std::vector<std::string> steps = {"kept",         "sealed",         "placed",
                                            "shredding",    "plainDestroyed", "sealedRemoved",
                                            "recordRemoved"};
    constexpr int kRandomMoments = 20;
    std::mt19937 random(20261210);
    const std::string body(200 * 1024, 'x');
    for (int round = 0; round < static_cast<int>(steps.size()) + kRandomMoments; ++round) {
        const bool atStep = round < static_cast<int>(steps.size());
        const std::string what = atStep ? steps[round] : "random " + std::to_string(round);
        SCOPED_TRACE(what);
        fs::remove(alerts());
        fs::remove_all(desktop_ / "docs");
        fs::create_directories(desktop_ / "docs");
        const fs::path document = seal("doc", body, "secret-password");
        const std::string edited = body + "edited-" + std::to_string(round) + "\n";
        std::vector<std::string> extra = {"M2_TEST_APPEND=edited-" + std::to_string(round) + "\n",
                                          "M2_TEST_ANSWERS=Yes"};
        if (atStep) {
            extra.push_back("M2_TEST_KILL_AT=" + steps[round]);
        }
        {
            // The editor ends at once, so the launcher asks and seals on Yes. On a machine so
            // busy that the editor took over 3 s, the launcher takes it for a whole editing
            // session and seals without asking: the round then checks that seal instead.
            LauncherRun killed(desktop_, testHelper("scripted_launcher"),
                               {document.string() + ",-,hint"}, std::string("secret-password"),
                               environment(extra));
            if (!atStep) {
                const auto pause =
                    std::chrono::microseconds(std::uniform_int_distribution<>(0, 40000)(random));
                const auto deadline = std::chrono::steady_clock::now() + kPatience;
                while (shownAlerts().empty() && !killed.waitFor(0ms) &&
                       std::chrono::steady_clock::now() < deadline) {
                    std::this_thread::sleep_for(20ms);
                }
                if (!killed.waitFor(0ms)) {
                    ASSERT_FALSE(shownAlerts().empty()) << killed.output();
                    std::this_thread::sleep_for(pause);
                    ::kill(killed.pid(), SIGKILL);
                }
            }
            ASSERT_TRUE(killed.waitFor()) << killed.output();
        }
        // Nothing but ciphertext beside the document.
        for (const std::string& name : listFolder(desktop_ / "docs")) {
            EXPECT_EQ(readFile(desktop_ / "docs" / name).find("edited-"), std::string::npos)
                << name;
        }
        const bool inDocument = opened(document, "secret-password") == edited;

        fs::remove(alerts());
        LauncherRun next(desktop_, testHelper("scripted_launcher"), {document.string() + ",-,hint"},
                         std::string("wrong-password"), environment({"M2_TEST_ANSWERS=Yes"}));
        EXPECT_EQ(next.waitFor(), 0);
        std::vector<std::pair<std::string, std::string>> told;
        for (const auto& alert : shownAlerts()) {
            if (isLeftEditsAlert(alert.first)) {
                told.push_back(alert);
            }
        }
        if (inDocument) {
            EXPECT_EQ(told.size(), 0u) << testing::PrintToString(told);
            EXPECT_EQ(workingFolders(), std::vector<std::string>{});
            continue;
        }
        ASSERT_EQ(told.size(), 1u) << testing::PrintToString(shownAlerts());
        if (told[0].first == "A file opened for editing earlier was not encrypted again") {
            const std::string plain = namedPath(told[0].second);
            EXPECT_EQ(readFile(plain), edited) << plain;
        } else {
            // Offered and accepted: the sealed copy is now the document.
            EXPECT_NE(told[0].second.find("Put them in place of"), std::string::npos);
            EXPECT_EQ(opened(document, "secret-password"), edited);
            EXPECT_EQ(workingFolders(), std::vector<std::string>{});
        }
        for (const std::string& folder : workingFolders()) {
            fs::remove_all(folder);
        }
        fs::remove(openFilesList());
    }
}

// A document is the file, not the text of its path: every other spelling of an open one is
// refused, and of two launchers started at the same moment exactly one opens it, whose edit
// the document then holds.
TEST_F(LauncherE2eTest, OneLauncherPerDocumentHoweverItIsNamed) {
    const fs::path document = seal("doc", "text\n", "secret-password");
    fs::create_directory_symlink(desktop_ / "docs", desktop_ / "linked");
    const std::string name = document.filename().string();
    const std::vector<std::string> spellings = {
        (desktop_ / "docs/." / name).string(), (desktop_ / "docs/../docs" / name).string(),
        (desktop_ / "linked" / name).string(), "../docs/" + name};
    const auto editing = [&](const std::string& text) {
        return environment({"M2_TEST_APPEND=" + text, "M2_TEST_EXIT=1",
                            "M2_TEST_RELEASE=" + desktop_.releaseFile().string()});
    };
    {
        LauncherRun first(desktop_, testHelper("scripted_launcher"),
                          {document.string() + ",-,hint"}, std::string("secret-password"),
                          editing("one\n"));
        ASSERT_TRUE(waitForEditor());
        for (const std::string& spelling : spellings) {
            SCOPED_TRACE(spelling);
            fs::remove(alerts());
            LauncherRun again(desktop_, testHelper("scripted_launcher"), {spelling + ",-,hint"},
                              std::string("secret-password"), editing("two\n"));
            EXPECT_EQ(again.waitFor(), 0);
            ASSERT_EQ(shownAlerts().size(), 1u);
            EXPECT_EQ(shownAlerts()[0].first, "File is already open for editing");
        }
        EXPECT_EQ(editors().size(), 1u);
        release();
        EXPECT_EQ(first.waitFor(), 0);
        EXPECT_EQ(opened(document, "secret-password"), "text\none\n");
    }

    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        fs::remove(alerts());
        fs::remove(desktop_.releaseFile());
        const std::size_t before = editors().size();
        const std::string text = opened(document, "secret-password");
        LauncherRun a(desktop_, testHelper("scripted_launcher"), {document.string() + ",-,hint"},
                      std::string("secret-password"), editing("a\n"));
        LauncherRun b(desktop_, testHelper("scripted_launcher"), {spellings[round % 4] + ",-,hint"},
                      std::string("secret-password"), editing("b\n"));
        ASSERT_TRUE(waitForAlerts(1));
        ASSERT_TRUE(waitForEditor(before + 1));
        EXPECT_EQ(shownAlerts()[0].first, "File is already open for editing");
        release();
        EXPECT_EQ(a.waitFor(), 0);
        EXPECT_EQ(b.waitFor(), 0);
        EXPECT_EQ(shownAlerts().size(), 1u);
        ASSERT_EQ(editors().size(), before + 1);
        const std::string edit = opened(document, "secret-password");
        EXPECT_TRUE(edit == text + "a\n" || edit == text + "b\n") << edit;
        EXPECT_EQ(workingFolders(), std::vector<std::string>{});
    }
}

// With two documents on the command line the first is edited and sealed as usual; the
// second is told of on standard error and touched by nothing.
TEST_F(LauncherE2eTest, OnlyTheFirstDocumentOfTheCommandLineIsOpened) {
    const fs::path first = seal("first", "one\n", "secret-password");
    const fs::path second = seal("second", "two\n", "secret-password");
    const std::string untouched = readFile(second);
    LauncherRun launcher(
        desktop_, testHelper("scripted_launcher"),
        {first.string() + ",secret-password,hint", second.string() + ",secret-password,hint"},
        std::nullopt,
        environment({"M2_TEST_APPEND=edited\n", "M2_TEST_EXIT=1",
                     "M2_TEST_RELEASE=" + desktop_.releaseFile().string()}));
    ASSERT_TRUE(waitForEditor());
    EXPECT_FALSE(launcher.waitFor(300ms)) << "the second document does not end the run";
    release();
    EXPECT_EQ(launcher.waitFor(), 0);
    EXPECT_EQ(opened(first, "secret-password"), "one\nedited\n");
    EXPECT_EQ(readFile(second), untouched);
    EXPECT_EQ(editors().size(), 1u);
    EXPECT_EQ(workingFolders(), std::vector<std::string>{});
}

// An editor that saved under another name and removed the copy: closing the window removes
// nothing, and the next launcher names the saved file.
TEST_F(LauncherE2eTest, ClosingAfterASaveAsRemovesNothingAndTheSavedFileIsNamed) {
    const fs::path document = seal("doc", "text\n", "secret-password");
    const std::string before = readFile(document);
    {
        LauncherRun launcher(desktop_, testHelper("scripted_launcher"),
                             {document.string() + ",-,hint"}, std::string("secret-password"),
                             environment({"M2_TEST_APPEND=edited\n", "M2_TEST_EDIT=saveas",
                                          "M2_TEST_RELEASE=" + desktop_.releaseFile().string()}));
        ASSERT_TRUE(waitForEditor());
        writeFile(closeRequest(), "");
        EXPECT_EQ(launcher.waitFor(), 0);
    }
    EXPECT_TRUE(shownAlerts().empty()) << testing::PrintToString(shownAlerts());
    const auto folders = workingFolders();
    ASSERT_EQ(folders.size(), 1u);
    const fs::path saved = fs::path(folders[0]) / "saved-doc.txt";
    EXPECT_EQ(readFile(saved), "text\nedited\n");
    EXPECT_EQ(readFile(document), before);
    release();

    LauncherRun next(desktop_, testHelper("scripted_launcher"), {document.string() + ",-,hint"},
                     std::string("wrong-password"), environment());
    EXPECT_EQ(next.waitFor(), 0);
    ASSERT_FALSE(shownAlerts().empty());
    EXPECT_EQ(shownAlerts()[0].second,
              "Its plain copy is kept at " + saved.string() +
                  ". Open it to recover your changes, then encrypt or shred it.");
    EXPECT_EQ(readFile(saved), "text\nedited\n");
}

// A list of open files that cannot be written (its disk full) refuses the document with the
// system's reason: nothing is decrypted, nothing left, the editor never starts.
TEST_F(LauncherE2eTest, AnUnwritableListOfOpenFilesRefusesTheDocument) {
    const fs::path document = seal("doc", "text\n", "secret-password");
    const fs::path base = openFilesList().parent_path();
    const FullTmpfsAt disk(base, "size=16k,mode=0700");
    if (!disk.mounted()) {
        GTEST_SKIP() << disk.whyNot() << "; the full disk cannot be shown";
    }
    disk.fill();
    LauncherRun launcher(desktop_, testHelper("scripted_launcher"), {document.string() + ",-,hint"},
                         std::string("secret-password"), environment());
    EXPECT_EQ(launcher.waitFor(), 0);
    const auto shown = shownAlerts();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, "Could not record the document as open for editing");
    EXPECT_NE(shown[0].second.find(std::strerror(ENOSPC)), std::string::npos) << shown[0].second;
    EXPECT_TRUE(editors().empty());
    EXPECT_EQ(workingFolders(), std::vector<std::string>{});
}

// A document named as long as the folder allows is edited and sealed back, and a temporary a
// killed run left beside it goes at the launcher's start.
TEST_F(LauncherE2eTest, TheLongestNamedDocumentIsSealedBackAndOldLeftoversGo) {
    const fs::path document = seal(std::string(247, 'l'), "text\n", "secret-password");
    ASSERT_EQ(document.filename().string().size(), 255u);
    const fs::path leftover = desktop_ / "docs/.m2-Zz9Yy8";
    writeFile(leftover, "partial ciphertext");
    ::chmod(leftover.c_str(), 0600);
    const timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
    ::utimensat(AT_FDCWD, leftover.c_str(), times, 0);
    LauncherRun launcher(desktop_, testHelper("scripted_launcher"), {document.string() + ",-,hint"},
                         std::string("secret-password"),
                         environment({"M2_TEST_APPEND=edited\n", "M2_TEST_EXIT=1"}));
    EXPECT_EQ(launcher.waitFor(), 0) << launcher.output();
    EXPECT_TRUE(shownAlerts().empty()) << testing::PrintToString(shownAlerts());
    EXPECT_EQ(opened(document, "secret-password"), "text\nedited\n");
    EXPECT_EQ(listFolder(desktop_ / "docs"),
              std::vector<std::string>{document.filename().string()});
    EXPECT_EQ(workingFolders(), std::vector<std::string>{});
}
