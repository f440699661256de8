#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "M2 Launcher/OpenFiles/OpenFileManager.h"
#include "platform/FileDescriptor.h"
#include "support/ScopedDocuments.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::OpenFileItem;
using m2::OpenFileManager;
using m2::test::writeFile;

namespace {

// Working sub-folders of launchers: one still running (it holds the lock on its folder),
// one that ended without sealing its copy, one whose copy and folder are gone.
class OpenFileLivenessTest : public ::testing::Test {
  protected:
    OpenFileLivenessTest() {
        for (const char* name : {"live", "dead"}) {
            fs::create_directories(documents_.documents() / name);
            writeFile(documents_.documents() / name / "a.txt", "plain");
        }
        held_ = m2::platform::UniqueFd(
            ::open((documents_.documents() / "live").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        EXPECT_EQ(::flock(held_.get(), LOCK_EX | LOCK_NB), 0);
    }
    // A record as the launcher writes it: the plain copy after a doubled slash.
    [[nodiscard]] OpenFileItem record(const std::string& folder,
                                      const std::string& document) const {
        return {document, (documents_.documents() / folder).string() + "//a.txt"};
    }

    m2::test::ScopedDocuments documents_;
    m2::platform::UniqueFd held_;
};

TEST_F(OpenFileLivenessTest, OnlyARunningLauncherKeepsADocumentOpen) {
    OpenFileManager manager;
    const OpenFileItem live = record("live", "/docs/live.m2p");
    const OpenFileItem dead = record("dead", "/docs/dead.m2p");
    const OpenFileItem gone = record("gone", "/docs/gone.m2p");
    for (const auto& item : {live, dead, gone}) {
        ASSERT_TRUE(manager.addOpenFile(item));
    }
    EXPECT_TRUE(OpenFileManager::isLive(live));
    EXPECT_FALSE(OpenFileManager::isLive(dead));
    EXPECT_FALSE(OpenFileManager::isLive(gone));
    EXPECT_TRUE(OpenFileManager::isLive(live)) << "asking takes no lock away";

    const struct {
        std::string path;
        bool open;
    } cases[] = {
        {"/docs/live.m2p", true},
        {"/docs//live.m2p", true},  // the same document, named with a doubled slash
        {"//docs/live.m2p", true},
        {"/docs/live.m2p.m2p", false},
        {"/docs/dead.m2p", false},  // its launcher ended: the document is free
        {"/docs/gone.m2p", false},
        {"/tmp/live.m2p", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OpenFileManager().isOpenForEditing(c.path), c.open) << c.path;
    }
}

TEST_F(OpenFileLivenessTest, DeadRecordsAreTakenOffTheListOnceAndTheirCopiesStay) {
    OpenFileManager manager;
    const OpenFileItem live = record("live", "/docs/live.m2p");
    const OpenFileItem dead = record("dead", "/docs/dead.m2p");
    const OpenFileItem gone = record("gone", "/docs/gone.m2p");
    for (const auto& item : {dead, live, gone}) {
        ASSERT_TRUE(manager.addOpenFile(item));
    }
    EXPECT_EQ(OpenFileManager().takeDeadRecords(), (std::vector<OpenFileItem>{dead, gone}));
    EXPECT_EQ(OpenFileManager().openFiles(), std::vector<OpenFileItem>{live});
    EXPECT_TRUE(fs::exists(documents_.documents() / "dead/a.txt"));
    EXPECT_TRUE(OpenFileManager().takeDeadRecords().empty()) << "a second launcher finds none";

    held_.reset();  // the running launcher ends too
    EXPECT_EQ(manager.takeDeadRecords(), std::vector<OpenFileItem>{live});
    EXPECT_TRUE(OpenFileManager().openFiles().empty());
}

}  // namespace
