#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <thread>
#include <vector>

#include "app/library/LibraryManager.h"
#include "app/library/SecurityManager.h"
#include "platform/Dispatch.h"
#include "platform/FileAttributes.h"
#include "platform/PathString.h"
#include "support/MemoryProgress.h"
#include "support/ScopedDocuments.h"
#include "support/TestFiles.h"

using m2::FileItem;
using m2::FileItemPtr;
using m2::ProcessReport;
using m2::SecurityManager;
using m2::test::MemoryProgressIndicator;
using m2::test::MemoryTextField;

namespace {

// A folder of real files, their library entries, and a batch run on a worker thread while
// the test thread plays the main thread.
class Batch : public testing::Test {
  protected:
    m2::test::ScopedDocuments docs;
    m2::platform::ScopedManualMainQueue mainQueue;
    m2::test::TempDir dir;
    std::vector<FileItemPtr> library;
    std::shared_ptr<MemoryProgressIndicator> progress = std::make_shared<MemoryProgressIndicator>();
    std::shared_ptr<MemoryTextField> label = std::make_shared<MemoryTextField>();
    std::vector<std::string> updatesOffMain;
    SecurityManager& manager = SecurityManager::instance();

    void SetUp() override {
        manager.canceled = false;
        progress->setMaxValue(1000);
    }

    FileItemPtr addFile(const std::string& name, const std::string& content = "secret text") {
        if (!content.empty()) {
            m2::test::writeFile(dir / name, content);
        }
        auto item = std::make_shared<FileItem>("file://" + (dir / name).string(), name, "folder",
                                               false, false, dir.path().string(), false);
        library.push_back(item);
        return item;
    }

    // What the list model's updateItem does with a result path; also checks the thread.
    SecurityManager::UpdateItem update() {
        return [this](const FileItemPtr& item, const std::string& path, bool encrypted) {
            if (!m2::platform::Dispatch::isMainThread()) {
                updatesOffMain.push_back(path);
            }
            item->fileName = m2::platform::lastPathComponent(path);
            item->filePath = m2::platform::deletingLastPathComponent(path);
            item->absolutePath = path;
            item->encrypted = encrypted;
        };
    }

    ProcessReport run(bool encrypt, const std::vector<FileItemPtr>& items,
                      const std::string& password = "correct horse") {
        const auto entries = SecurityManager::snapshot(items);  // on the main thread
        ProcessReport report;
        std::thread worker([&] {
            report =
                encrypt
                    ? manager.encryptFile(entries, update(), password, "the hint", progress, label)
                    : manager.decryptFile(entries, update(), password, "the hint", progress, label);
        });
        worker.join();
        mainQueue->drain();
        EXPECT_TRUE(updatesOffMain.empty());
        return report;
    }

    static std::vector<std::string> ids(const std::vector<m2::Result>& results) {
        std::vector<std::string> out;
        for (const auto& r : results) {
            out.push_back(r.id);
        }
        return out;
    }
};

TEST_F(Batch, MixedEncryptionFilesEachOutcomeAndFollowsTheNewNames) {
    const auto a = addFile("a.txt");
    const auto already = addFile("b.txt");
    const auto missing = addFile("missing.txt", "");
    const auto comma = addFile("c,d.txt");
    ASSERT_EQ(run(true, {already}).success().size(), 1u);
    already->encrypted = false;  // as if the library had not noticed
    label = std::make_shared<MemoryTextField>();
    progress = std::make_shared<MemoryProgressIndicator>();
    progress->setMaxValue(4);

    const ProcessReport report = run(true, {a, already, missing, comma});
    EXPECT_EQ(ids(report.success()), (std::vector<std::string>{a->id, comma->id}));
    EXPECT_EQ(ids(report.failure()), (std::vector<std::string>{already->id, missing->id}));
    EXPECT_FALSE(report.canceled());
    EXPECT_FALSE(manager.canceled);
    for (const auto& r : report.failure()) {
        EXPECT_FALSE(r.reason.empty());
        EXPECT_FALSE(r.status);
    }
    EXPECT_EQ(report.failure()[0].reason, "File already encrypted");

    // Successful entries name the encrypted files; failed ones are unchanged.
    for (const auto& item : {a, comma}) {
        EXPECT_TRUE(item->encrypted);
        EXPECT_TRUE(SecurityManager::fileIsEncrypted(item->fileName));
        EXPECT_TRUE(std::filesystem::exists(item->filePath + "/" + item->fileName));
    }
    EXPECT_EQ(report.success()[1].path, comma->filePath + "/" + comma->fileName);
    EXPECT_NE(report.success()[1].path.find("c,d"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "a.txt"));
    EXPECT_EQ(missing->fileName, "missing.txt");
    EXPECT_FALSE(missing->encrypted);

    // The window gets the newest state, not one per file; the last always arrives.
    ASSERT_FALSE(label->texts().empty());
    EXPECT_EQ(label->texts().back(), "Encrypting (4 of 4) files : Current file: c,d.txt");
    EXPECT_EQ(progress->doubleValue(), 4.0);
}

TEST_F(Batch, DecryptionWithWrongAndRightPasswords) {
    const auto a = addFile("a.txt", "alpha");
    const auto b = addFile("b.txt", "beta");
    ASSERT_EQ(run(true, {a, b}).success().size(), 2u);
    const std::string encryptedA = a->fileName;

    label = std::make_shared<MemoryTextField>();
    const ProcessReport wrong = run(false, {a, b}, "wrong password");
    EXPECT_TRUE(wrong.success().empty());
    EXPECT_EQ(ids(wrong.failure()), (std::vector<std::string>{a->id, b->id}));
    EXPECT_EQ(a->fileName, encryptedA);
    EXPECT_TRUE(a->encrypted);
    ASSERT_FALSE(label->texts().empty());
    EXPECT_EQ(label->texts().back(), "Decrypting (2 of 2) files : Current file: " + b->fileName);

    const ProcessReport right = run(false, {a, b});
    EXPECT_EQ(ids(right.success()), (std::vector<std::string>{a->id, b->id}));
    EXPECT_EQ(a->fileName, "a.txt");
    EXPECT_FALSE(a->encrypted);
    EXPECT_EQ(m2::test::readFile(a->filePath + "/" + a->fileName), "alpha");
    EXPECT_EQ(m2::test::readFile(b->filePath + "/" + b->fileName), "beta");
}

// The engine refuses a plain file without its owner-write bit (for root it would not): the
// batch lifts the bit for the operation and sets it again on the result.
TEST_F(Batch, ReadOnlyFilesStayReadOnly) {
    const struct {
        mode_t source, encrypted, decrypted;
    } cases[] = {{0444, 0444, 0444}, {0400, 0400, 0400}, {0555, 0444, 0444}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        const auto locked = addFile("locked.txt");
        const auto open = addFile("open.txt");
        ASSERT_EQ(::chmod((dir / "locked.txt").c_str(), c.source), 0);

        ASSERT_EQ(run(true, {locked, open}).success().size(), 2u);
        const std::string lockedPath = locked->filePath + "/" + locked->fileName;
        EXPECT_EQ(m2::test::permissionBits(lockedPath), c.encrypted);
        EXPECT_EQ(m2::platform::isLocked(open->filePath + "/" + open->fileName), false);

        // A failed decryption leaves the encrypted original locked.
        EXPECT_EQ(run(false, {locked}, "wrong").failure().size(), 1u);
        EXPECT_EQ(m2::test::permissionBits(lockedPath), c.encrypted);

        ASSERT_EQ(run(false, {locked}).success().size(), 1u);
        EXPECT_EQ(m2::test::permissionBits(locked->filePath + "/" + locked->fileName), c.decrypted);
        EXPECT_EQ(m2::test::readFile(dir / "locked.txt"), "secret text");
        ASSERT_TRUE(m2::platform::setLocked(dir / "locked.txt", false));
        std::filesystem::remove(dir / "locked.txt");
        std::filesystem::remove(open->filePath + "/" + open->fileName);
    }
}

TEST_F(Batch, CancelStopsAfterTheEntryInProgress) {
    const auto a = addFile("a.txt");
    const auto b = addFile("b.txt");
    const auto c = addFile("c.txt");
    // A request made between batches is seen after the next batch's first entry.
    manager.cancelCurrentProcess();
    const ProcessReport middle = run(true, {a, b, c});
    EXPECT_TRUE(middle.canceled());
    EXPECT_EQ(ids(middle.success()), std::vector<std::string>{a->id});
    EXPECT_TRUE(middle.failure().empty());
    EXPECT_TRUE(std::filesystem::exists(dir / "b.txt"));
    EXPECT_TRUE(std::filesystem::exists(dir / "c.txt"));
    EXPECT_FALSE(manager.canceled);
    EXPECT_EQ(label->texts().size(), 1u);

    // On the last entry every entry is handled and the report still says canceled.
    manager.cancelCurrentProcess();
    const ProcessReport last = run(true, {b});
    EXPECT_TRUE(last.canceled());
    EXPECT_EQ(ids(last.success()), std::vector<std::string>{b->id});
    EXPECT_FALSE(manager.canceled);
}

TEST_F(Batch, CancelFromTheMainThreadWhileTheWorkerRuns) {
    std::vector<FileItemPtr> items;
    for (int i = 0; i < 20; ++i) {
        items.push_back(addFile("f" + std::to_string(i) + ".txt", std::string(20000, 'x')));
    }
    const auto entries = SecurityManager::snapshot(items);
    ProcessReport report;
    std::atomic<bool> done = false;
    std::thread worker([&] {
        report = manager.encryptFile(entries, update(), "pw", "hint", progress, label);
        done = true;
    });
    // Play the main thread: show progress, and press Cancel once the first step shows.
    bool pressed = false;
    while (!done) {
        if (mainQueue->drain() > 0 && !pressed) {
            manager.cancelCurrentProcess();
            pressed = true;
        }
        std::this_thread::yield();
    }
    worker.join();
    mainQueue->drain();
    const std::size_t handled = report.success().size() + report.failure().size();
    EXPECT_GE(handled, 1u);
    if (handled < items.size()) {
        EXPECT_TRUE(report.canceled());
        EXPECT_FALSE(manager.canceled);
    }
    manager.canceled = false;  // a press after the last entry stays pending for the next batch
    for (std::size_t i = handled; i < items.size(); ++i) {
        EXPECT_TRUE(std::filesystem::exists(dir / ("f" + std::to_string(i) + ".txt")));
        EXPECT_FALSE(items[i]->encrypted);
    }
    EXPECT_TRUE(updatesOffMain.empty());
}

TEST_F(Batch, EmptyBatchAndEntryWithoutFolder) {
    const ProcessReport empty = run(true, {});
    EXPECT_TRUE(empty.success().empty());
    EXPECT_TRUE(empty.failure().empty());
    EXPECT_FALSE(empty.canceled());
    EXPECT_TRUE(label->texts().empty());
    EXPECT_FALSE(manager.canceled);

    auto rootless = std::make_shared<FileItem>();
    rootless->fileName = "no-such-file-at-root.txt";
    const ProcessReport report = run(true, {rootless});
    ASSERT_EQ(report.failure().size(), 1u);
    EXPECT_EQ(report.failure()[0].path, "/no-such-file-at-root.txt");
    EXPECT_EQ(report.failure()[0].id, rootless->id);
}

TEST_F(Batch, UpdatesGoToTheLibraryListOnTheMainThread) {
    m2::LibraryManager libraryManager;
    const auto a = addFile("a.txt");
    libraryManager.fileManager.library.push_back(a);
    const auto entries = SecurityManager::snapshot({a});
    ProcessReport report;
    std::thread([&] {
        report = manager.encryptFile(entries, libraryManager, "pw", "hint", nullptr, nullptr);
    }).join();
    EXPECT_FALSE(a->encrypted);  // not before the main thread has run the update
    mainQueue->drain();
    ASSERT_EQ(report.success().size(), 1u);
    EXPECT_TRUE(a->encrypted);
    EXPECT_EQ(a->filePath + "/" + a->fileName, report.success()[0].path);

    const auto again = SecurityManager::snapshot({a});
    std::thread([&] {
        report = manager.decryptFile(again, libraryManager, "pw", "hint", nullptr, nullptr);
    }).join();
    mainQueue->drain();
    EXPECT_EQ(report.success().size(), 1u);
    EXPECT_FALSE(a->encrypted);
    EXPECT_EQ(a->fileName, "a.txt");
}

TEST(SecurityManagerChecks, EncryptedPathsAndPasswords) {
    const struct {
        const char* path;
        bool encrypted;
    } cases[] = {{"/a/report.m2p", true},  {"b.m2p.txt", true},     {"/x.m2p/y", true},
                 {"/a/REPORT.M2P", false}, {"/a/report.m2", false}, {"", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(SecurityManager::fileIsEncrypted(c.path), c.encrypted) << c.path;
    }
    EXPECT_TRUE(SecurityManager::validatePassword("", "anything"));
    EXPECT_TRUE(SecurityManager::validatePassword("pw", ""));
}

}  // namespace
