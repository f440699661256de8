#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "Sealkit/SealkitFacade.h"
#include "app/services/SecurityManagerExtensions.h"
#include "app/services/Settings.h"
#include "platform/FileDescriptor.h"
#include "platform/Paths.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::SecurityManagerExtensions;
using m2::securityResult;
using namespace m2::test;

namespace {

constexpr const char* kPassword = "correct horse";
constexpr const char* kHint = "the usual";

// Makes `folder` refuse new entries, for root too (the immutable flag; permission bits bind
// only other users). Answers false where the file system cannot do that.
bool makeUnwritable(const fs::path& folder) {
    ::chmod(folder.c_str(), 0555);
    if (::geteuid() != 0) {
        return true;
    }
    const m2::platform::UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY));
    int flags = 0;
    if (!fd || ::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) != 0) {
        return false;
    }
    flags |= FS_IMMUTABLE_FL;
    return ::ioctl(fd.get(), FS_IOC_SETFLAGS, &flags) == 0;
}

void makeWritable(const fs::path& folder) {
    const m2::platform::UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY));
    int flags = 0;
    if (fd && ::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_IMMUTABLE_FL)) {
        flags &= ~FS_IMMUTABLE_FL;
        (void)::ioctl(fd.get(), FS_IOC_SETFLAGS, &flags);
    }
    ::chmod(folder.c_str(), 0755);
}

class SecurityManagerExtensionsTest : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir_ / "run");
        ::chmod((dir_ / "run").c_str(), 0700);
        fs::create_directories(dir_ / "docs");
        m2::platform::setDocumentsFolderOverride(dir_ / "Documents");
    }
    void TearDown() override { m2::platform::setDocumentsFolderOverride(std::nullopt); }

    [[nodiscard]] fs::path temp() const { return dir_ / "run/morvane2"; }
    // The working sub-folder of a location the operations answer.
    [[nodiscard]] static fs::path workingFolder(const std::string& location) {
        return fs::path(location).lexically_normal().parent_path();
    }

    // A sealed document made by the real engine; answers its path.
    [[nodiscard]] fs::path seal(const std::string& name, const std::string& content) const {
        const fs::path plain = dir_ / "docs" / name;
        writeFile(plain, content);
        Encryptor encryptor(kPassword, kHint, false, false);
        const SealkitOutcome outcome = encryptor.encryptFileOutcome(plain.string(), kHint);
        EXPECT_TRUE(outcome.succeeded()) << outcome.message;
        return outcome.path;
    }

    TempDir dir_;
    ScopedEnv runtime_{"XDG_RUNTIME_DIR", (dir_ / "run").string()};
    const SecurityManagerExtensions& sme_ = SecurityManagerExtensions::instance();
};

TEST_F(SecurityManagerExtensionsTest, OpenEditAndSealBackOverTheOriginal) {
    const fs::path sealed = seal("Invoice 1,2.txt", "first draft");
    ASSERT_EQ(::chmod(sealed.c_str(), 0640), 0);

    const auto opened = sme_.decryptToTempLocation(sealed.string(), kPassword, kHint);
    ASSERT_EQ(opened.result, securityResult::OK) << opened.reason;
    const fs::path folder = workingFolder(opened.location);
    EXPECT_TRUE(folder.filename().string().starts_with("document-")) << folder;
    EXPECT_EQ(opened.location, folder.string() + "//Invoice 1,2.txt");
    EXPECT_EQ(opened.reason, "");
    EXPECT_EQ(readFile(opened.location), "first draft");
    EXPECT_EQ(listFolder(folder), std::vector<std::string>{"Invoice 1,2.txt"});
    EXPECT_TRUE(fs::exists(sealed)) << "the document itself stays sealed";

    writeFile(opened.location, "second draft, longer than the first");
    writeFile(folder / ".~lock.Invoice 1,2.txt#", "an editor's lock file");
    EXPECT_EQ(sme_.encryptTempBackToOriginal(opened.location, sealed.string(), kPassword, kHint),
              securityResult::OK);
    EXPECT_EQ(listFolder(folder), std::vector<std::string>{".~lock.Invoice 1,2.txt#"})
        << "no plain or sealed copy left behind";
    EXPECT_EQ(sme_.removeWorkingFolder(opened.location), securityResult::OK);
    EXPECT_TRUE(listFolder(temp()).empty());
    EXPECT_EQ(listFolder(dir_ / "docs"), std::vector<std::string>{sealed.filename().string()});
    EXPECT_EQ(permissionBits(sealed), 0640u);

    const auto again = sme_.decryptToTempLocation(sealed.string(), kPassword, kHint);
    ASSERT_EQ(again.result, securityResult::OK) << again.reason;
    EXPECT_EQ(readFile(again.location), "second draft, longer than the first");
}

TEST_F(SecurityManagerExtensionsTest, WrongPasswordOpensNothingAndLeavesNoCopy) {
    const fs::path sealed = seal("a.txt", "secret");
    const std::string before = readFile(sealed);
    const auto opened = sme_.decryptToTempLocation(sealed.string(), "wrong password", kHint);
    EXPECT_EQ(opened.result, securityResult::CouldNotOpenFile);
    EXPECT_EQ(opened.reason, "Password incorrect ");
    EXPECT_EQ(fs::path(opened.location).filename(), "a.txt.m2p");
    EXPECT_EQ(workingFolder(opened.location).parent_path(), temp());
    EXPECT_TRUE(listFolder(temp()).empty()) << "the copy and its sub-folder are gone";
    EXPECT_EQ(readFile(sealed), before);
}

TEST_F(SecurityManagerExtensionsTest, DocumentsOfOneNameOpenAtOnceInSeparateSubFolders) {
    const fs::path first = seal("same.txt", "first folder's");
    fs::create_directories(dir_ / "docs/other");
    const fs::path plain = dir_ / "docs/other/same.txt";
    writeFile(plain, "second folder's");
    Encryptor encryptor(kPassword, kHint, false, false);
    const fs::path second = encryptor.encryptFileOutcome(plain.string(), kHint).path;

    const auto a = sme_.decryptToTempLocation(first.string(), kPassword, kHint);
    const auto b = sme_.decryptToTempLocation(second.string(), kPassword, kHint);
    const auto notes = sme_.decryptToTempLocation(first.string(), kPassword, kHint,
                                                  m2::platform::WorkingFolderPurpose::Notes);
    ASSERT_EQ(a.result, securityResult::OK) << a.reason;
    ASSERT_EQ(b.result, securityResult::OK) << b.reason;
    ASSERT_EQ(notes.result, securityResult::OK) << notes.reason;
    EXPECT_NE(workingFolder(a.location), workingFolder(b.location));
    EXPECT_TRUE(workingFolder(notes.location).filename().string().starts_with("notes-"));
    EXPECT_EQ(readFile(a.location), "first folder's");
    EXPECT_EQ(readFile(b.location), "second folder's");
    EXPECT_EQ(readFile(notes.location), "first folder's");
    for (const auto* opened : {&a, &b, &notes}) {
        EXPECT_EQ(permissionBits(workingFolder(opened->location)), 0700u);
        EXPECT_EQ(sme_.removeWorkingFolder(opened->location), securityResult::OK);
    }
    EXPECT_TRUE(listFolder(temp()).empty());
    EXPECT_EQ(sme_.removeWorkingFolder(first.string()), securityResult::CouldNotShredFile)
        << "a path outside the private folder is refused";
    EXPECT_TRUE(fs::exists(first));
}

TEST_F(SecurityManagerExtensionsTest, ADocumentLargerThanTheRuntimeFolderOpensFromTheDisk) {
    const SmallTmpfs small(2 * 1024 * 1024);
    if (!small.mounted()) {
        GTEST_SKIP() << "no small tmpfs: " << small.whyNotMounted();
    }
    const ScopedEnv runtime("XDG_RUNTIME_DIR", small.path().string());
    const ScopedEnv tmp("TMPDIR", (dir_ / "tmp").string());
    fs::create_directories(dir_ / "tmp");
    const std::string content = patternText(3 * 1024 * 1024);
    const fs::path sealed = seal("large.bin", content);

    const auto opened = sme_.decryptToTempLocation(sealed.string(), kPassword, kHint);
    ASSERT_EQ(opened.result, securityResult::OK) << opened.reason;
    EXPECT_EQ(workingFolder(opened.location).parent_path(),
              dir_ / ("tmp/morvane2-" + std::to_string(::geteuid())));
    EXPECT_EQ(readFile(opened.location), content);
    EXPECT_EQ(sme_.removeWorkingFolder(opened.location), securityResult::OK);
}

TEST_F(SecurityManagerExtensionsTest, UnsafeTemporaryFolderOrMissingDocumentCannotBeCopied) {
    const fs::path sealed = seal("c.txt", "content c");
    fs::create_directory(temp());
    ::chmod(temp().c_str(), 0755);
    const auto unsafe = sme_.decryptToTempLocation(sealed.string(), kPassword, kHint);
    EXPECT_EQ(unsafe.result, securityResult::CouldNotCopyToTempLocation);
    EXPECT_EQ(unsafe.location, "");
    EXPECT_TRUE(listFolder(temp()).empty());

    ::chmod(temp().c_str(), 0700);
    const auto missing =
        sme_.decryptToTempLocation((dir_ / "docs/absent.m2p").string(), kPassword, kHint);
    EXPECT_EQ(missing.result, securityResult::CouldNotCopyToTempLocation);
    EXPECT_TRUE(listFolder(temp()).empty());
}

TEST_F(SecurityManagerExtensionsTest, FailedSealBackLeavesTheOriginalIntact) {
    const fs::path sealed = seal("d.txt", "original");
    const std::string before = readFile(sealed);

    // Nothing to encrypt: nothing else is touched.
    EXPECT_EQ(sme_.encryptTempBackToOriginal((dir_ / "run/none.txt").string(), sealed.string(),
                                             kPassword, kHint),
              securityResult::CouldNotReencrypt);
    EXPECT_EQ(readFile(sealed), before);

    // The destination's folder refuses the new file: the old sealed file stays as it was.
    const auto opened = sme_.decryptToTempLocation(sealed.string(), kPassword, kHint);
    ASSERT_EQ(opened.result, securityResult::OK);
    writeFile(opened.location, "edited");
    if (!makeUnwritable(dir_ / "docs")) {
        GTEST_SKIP() << "this file system cannot make a folder unwritable for root";
    }
    const auto answer =
        sme_.encryptTempBackToOriginal(opened.location, sealed.string(), kPassword, kHint);
    makeWritable(dir_ / "docs");
    EXPECT_EQ(answer, securityResult::CouldNotReencrypt);
    EXPECT_EQ(readFile(sealed), before);
    EXPECT_EQ(listFolder(dir_ / "docs"), std::vector<std::string>{"d.txt.m2p"});
    // The edit is not lost: its sealed form waits in the working folder.
    EXPECT_EQ(listFolder(workingFolder(opened.location)), std::vector<std::string>{"d.txt.m2p"});
}

TEST_F(SecurityManagerExtensionsTest, HiddenExtensionStillSealsBackToTheDestinationPath) {
    const fs::path sealed = seal("e.txt", "content e");
    const auto opened = sme_.decryptToTempLocation(sealed.string(), kPassword, kHint);
    ASSERT_EQ(opened.result, securityResult::OK);
    m2::Settings::instance().setHideFileExtensions(true);
    writeFile(opened.location, "edited e");
    EXPECT_EQ(sme_.encryptTempBackToOriginal(opened.location, sealed.string(), kPassword, kHint),
              securityResult::OK);
    EXPECT_EQ(listFolder(dir_ / "docs"), std::vector<std::string>{"e.txt.m2p"});
    EXPECT_TRUE(listFolder(workingFolder(opened.location)).empty());
    const auto again = sme_.decryptToTempLocation(sealed.string(), kPassword, kHint);
    ASSERT_EQ(again.result, securityResult::OK);
    EXPECT_EQ(readFile(again.location), "edited e");
}

TEST_F(SecurityManagerExtensionsTest, ShredRemovesAndReadOnlyFlagAnswers) {
    const fs::path file = dir_ / "docs/f.txt";
    writeFile(file, "x");
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);

    EXPECT_FALSE(sme_.removeReadonlyAttribute(file.string())) << "not locked";
    EXPECT_EQ(permissionBits(file), 0644u);
    sme_.addReadonlyAttribute(file.string());
    EXPECT_EQ(permissionBits(file), 0444u);
    EXPECT_TRUE(sme_.removeReadonlyAttribute(file.string())) << "was locked";
    EXPECT_EQ(permissionBits(file), 0644u);
    EXPECT_FALSE(sme_.removeReadonlyAttribute((dir_ / "missing").string()));
    sme_.addReadonlyAttribute((dir_ / "missing").string());

    EXPECT_EQ(sme_.shredFile(file.string()), securityResult::OK);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(sme_.shredFile(file.string()), securityResult::CouldNotShredFile);
}

}  // namespace
