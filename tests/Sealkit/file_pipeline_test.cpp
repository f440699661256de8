#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "Sealkit/CipherUtils.h"
#include "Sealkit/MorvaneResult.h"
#include "Sealkit/SealkitFacade.h"
#include "support/TestFiles.h"

using Morvane::Security::CMorvaneResult;

namespace {

const std::string kPassword = "pipeline password";
const std::string kRenamed =
    "File already exists and has been renamed to <filename>_(number).extension";

std::string failText(int code, const std::string& path) {
    return "fail," + CMorvaneResult::getStringResult(code) + "," + path;
}

// True when text is prefix, then `hexDigits` upper-case hex digits, then suffix.
bool isNamed(const std::string& text, const std::string& prefix, std::size_t hexDigits,
             const std::string& suffix) {
    if (text.size() != prefix.size() + hexDigits + suffix.size() || text.rfind(prefix, 0) != 0 ||
        text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return false;
    }
    for (std::size_t i = prefix.size(); i < prefix.size() + hexDigits; ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(text[i])) || std::islower(text[i])) {
            return false;
        }
    }
    return true;
}

// Encrypts every size under each flag combination and decrypts it back through one
// decryptor: exact result texts, exact content, nothing else left in the folder.
TEST(FilePipelines, RoundTripsThroughTheFacade) {
    const std::size_t sizes[] = {0, 1, 15, 16, 17, 10000, 10005, 3 * 1024 * 1024 + 5};
    const struct {
        bool encryptFilename, hideExtension;
        // The encrypted path after the folder: prefix, hex digits, suffix.
        const char* prefix;
        std::size_t hexDigits;
        const char* suffix;
    } flags[] = {
        {false, false, "/report.txt.m2p", 0, ""},
        {false, true, "/report.m2p", 0, ""},
        {true, false, "//", 64, ".txt.m2p"},
        {true, true, "//", 64, ".m2p"},
    };
    Decryptor decryptor(kPassword, "");
    int round = 0;
    for (const auto& f : flags) {
        Encryptor encryptor(kPassword, "", f.encryptFilename, f.hideExtension);
        for (const std::size_t size : sizes) {
            SCOPED_TRACE(testing::Message() << f.prefix << f.suffix << " size " << size);
            m2::test::TempDir dir;
            const std::string plain = dir / "report.txt";
            const std::string content = m2::test::patternText(size);
            m2::test::writeFile(plain, content);
            const std::string hint = (round++ % 2 == 0) ? "" : "my hint, with a comma";

            const SealkitOutcome encrypted = encryptor.encryptFileOutcome(plain, hint);
            EXPECT_EQ(encrypted.code, 0);
            EXPECT_TRUE(
                isNamed(encrypted.path, dir.path().string() + f.prefix, f.hexDigits, f.suffix))
                << encrypted.path;
            EXPECT_EQ(encrypted.text(), "ok,OK," + encrypted.path);
            EXPECT_FALSE(m2::test::pathExists(plain));
            EXPECT_EQ(m2::test::listFolder(dir.path()).size(), 1u);

            // The plain file goes to the encrypted file's folder (all before its last "/").
            const std::string folder = encrypted.path.substr(0, encrypted.path.rfind('/'));
            EXPECT_EQ(decryptor.decryptFile(encrypted.path, ""),
                      "ok,OK," + folder + "//report.txt");
            EXPECT_EQ(m2::test::readFile(plain), content);
            EXPECT_EQ(m2::test::listFolder(dir.path()), std::vector<std::string>{"report.txt"});
        }
    }
}

TEST(FilePipelines, TakenNamesGetCopyNames) {
    m2::test::TempDir dir;
    m2::test::writeFile(dir / "a.txt", "first");
    m2::test::writeFile(dir / "a.txt.m2p", "bystander");

    Encryptor encryptor(kPassword, "", false, false);
    EXPECT_EQ(encryptor.encryptFile(dir / "a.txt", "h"),
              "ok,OK," + (dir / "a.txt_(copy 1).m2p").string());
    EXPECT_EQ(m2::test::readFile(dir / "a.txt.m2p"), "bystander");

    // The plain name is taken again when the encrypted file comes back.
    m2::test::writeFile(dir / "a.txt", "newer");
    Decryptor decryptor(kPassword, "");
    EXPECT_EQ(decryptor.decryptFile(dir / "a.txt_(copy 1).m2p", ""),
              "ok," + kRenamed + "," + dir.path().string() + "//a_(copy 1).txt");
    EXPECT_EQ(m2::test::readFile(dir / "a.txt"), "newer");
    EXPECT_EQ(m2::test::readFile(dir / "a_(copy 1).txt"), "first");
    EXPECT_EQ(m2::test::listFolder(dir.path()),
              (std::vector<std::string>{"a.txt", "a.txt.m2p", "a_(copy 1).txt"}));
}

TEST(FilePipelines, NamesWithoutExtensionNeverReplaceAFile) {
    m2::test::TempDir dir;
    m2::test::writeFile(dir / "notes", "plain");
    m2::test::writeFile(dir / "notes.m2p", "older encrypted file");
    Encryptor encryptor(kPassword, "", false, false);
    const SealkitOutcome encrypted = encryptor.encryptFileOutcome(dir / "notes", "");
    EXPECT_EQ(encrypted.path, (dir / "notes_(copy 1).m2p").string());
    EXPECT_EQ(m2::test::readFile(dir / "notes.m2p"), "older encrypted file");

    m2::test::writeFile(dir / "notes", "someone else");
    Decryptor decryptor(kPassword, "");
    EXPECT_EQ(decryptor.decryptFileOutcome(encrypted.path, "").path,
              dir.path().string() + "//notes_(copy 1)");
    EXPECT_EQ(m2::test::readFile(dir / "notes"), "someone else");
    EXPECT_EQ(m2::test::readFile(dir / "notes_(copy 1)"), "plain");
}

TEST(FilePipelines, RefusalsChangeNothing) {
    m2::test::TempDir dir;
    m2::test::writeFile(dir / "a.txt", "secret content");
    Encryptor encryptor(kPassword, "", false, false);
    const std::string encrypted = encryptor.encryptFileOutcome(dir / "a.txt", "hint").path;
    const std::string stored = m2::test::readFile(encrypted);

    // Already encrypted.
    EXPECT_EQ(encryptor.encryptFile(encrypted, ""), "fail,File already encrypted," + encrypted);
    // Wrong password: the temporary path is reported and nothing is left behind.
    Decryptor wrong("not the password", "");
    EXPECT_EQ(wrong.decryptFile(encrypted, ""), "fail,Password incorrect ," + encrypted + ".cdf");
    // A file without the trailer.
    m2::test::writeFile(dir / "plain.m2p", "no trailer here");
    Decryptor decryptor(kPassword, "");
    EXPECT_EQ(decryptor.decryptFile(dir / "plain.m2p", ""),
              "fail,File not encrypted," + (dir / "plain.m2p").string());
    // A newer format version, refused before anything is created.
    std::string newer = stored;
    const auto at = newer.rfind(",6,1,2,32,,0");
    ASSERT_NE(at, std::string::npos);
    newer[at + 1] = '7';
    m2::test::writeFile(dir / "newer.m2p", newer);
    EXPECT_EQ(decryptor.decryptFile(dir / "newer.m2p", ""), failText(-21, dir / "newer.m2p"));
    // What is not a regular file, or not there.
    ASSERT_EQ(::mkdir((dir / "folder").c_str(), 0700), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink((dir / "a.txt.m2p").c_str(), (dir / "link").c_str()), 0);
    const struct {
        const char* name;
        int error;
    } sources[] = {{"folder", EISDIR}, {"fifo", EINVAL}, {"link", ELOOP}, {"gone", ENOENT}};
    for (const auto& s : sources) {
        EXPECT_EQ(encryptor.encryptFile(dir / s.name, ""),
                  failText(CMorvaneResult::systemErrorCode(s.error), dir / s.name));
    }
    EXPECT_EQ(decryptor.decryptFile(dir / "folder", ""),
              failText(CMorvaneResult::systemErrorCode(EISDIR), dir / "folder"));

    EXPECT_EQ(m2::test::readFile(encrypted), stored);
    EXPECT_EQ(m2::test::listFolder(dir.path()),
              (std::vector<std::string>{"a.txt.m2p", "fifo", "folder", "link", "newer.m2p",
                                        "plain.m2p"}));
}

TEST(FilePipelines, TrailerThatWouldNotFitIsRefusedBeforeWriting) {
    m2::test::TempDir dir;
    m2::test::writeFile(dir / "a.txt", "content");
    Encryptor encryptor(kPassword, "", false, false);
    EXPECT_EQ(encryptor.encryptFile(dir / "a.txt", std::string(5000, 'h')),
              failText(-15, dir / "a.txt"));
    EXPECT_EQ(m2::test::listFolder(dir.path()), std::vector<std::string>{"a.txt"});

    const std::string hint(4600, 'h');
    const SealkitOutcome fits = encryptor.encryptFileOutcome(dir / "a.txt", hint);
    ASSERT_TRUE(fits.succeeded()) << fits.text();
    EXPECT_TRUE(Decryptor(kPassword, "").decryptFileOutcome(fits.path, "").succeeded());
    EXPECT_EQ(m2::test::readFile(dir / "a.txt"), "content");
}

TEST(FilePipelines, UnrelatedTemporaryNameIsNotTruncated) {
    m2::test::TempDir dir;
    m2::test::writeFile(dir / "a.txt", "content");
    const std::string encrypted =
        Encryptor(kPassword, "", false, false).encryptFileOutcome(dir / "a.txt", "").path;
    m2::test::writeFile(encrypted + ".cdf", "unrelated");
    EXPECT_EQ(Decryptor(kPassword, "").decryptFile(encrypted, ""),
              "ok,OK," + dir.path().string() + "//a.txt");
    EXPECT_EQ(m2::test::readFile(encrypted + ".cdf"), "unrelated");
    EXPECT_EQ(m2::test::listFolder(dir.path()),
              (std::vector<std::string>{"a.txt", "a.txt.m2p.cdf"}));
}

TEST(FilePipelines, NotesWorkingFileReplacesItsEncryptedFile) {
    m2::test::TempDir dir;
    const std::string working = dir / "M2PID0x1001.dat";
    m2::test::writeFile(working, "notes v1");
    m2::test::writeFile(working + ".m2p", "older notes file");
    Encryptor encryptor(kPassword, "", false, false);
    EXPECT_EQ(encryptor.encryptFile(working, ""), "ok,OK," + working + ".m2p");
    EXPECT_EQ(m2::test::listFolder(dir.path()), std::vector<std::string>{"M2PID0x1001.dat.m2p"});
    EXPECT_EQ(Decryptor(kPassword, "").decryptFile(working + ".m2p", ""),
              "ok,OK," + dir.path().string() + "//M2PID0x1001.dat");
    EXPECT_EQ(m2::test::readFile(working), "notes v1");
}

TEST(FilePipelines, EncryptingTwiceGivesDifferentFiles) {
    m2::test::TempDir dir;
    Encryptor encryptor(kPassword, "", false, false);
    std::vector<std::string> files;
    for (const char* name : {"x/a.txt", "y/a.txt"}) {
        ::mkdir((dir / std::string(name).substr(0, 1)).c_str(), 0700);
        m2::test::writeFile(dir / name, "same content");
        files.push_back(m2::test::readFile(encryptor.encryptFileOutcome(dir / name, "").path));
    }
    EXPECT_NE(files[0], files[1]);
    EXPECT_EQ(files[0].size(), files[1].size());
}

TEST(FilePipelines, Utf8NamesAndHintsPassUnchanged) {
    m2::test::TempDir dir;
    const std::string name =
        "gr\xC3\xBC\xC3\x9F"
        "e \xE2\x98\x83, 1.txt";
    m2::test::writeFile(dir / name, "content");
    const SealkitOutcome encrypted =
        Encryptor(kPassword, "", false, false).encryptFileOutcome(dir / name, "\xE2\x98\x83");
    EXPECT_EQ(encrypted.text(), "ok,OK," + (dir / name).string() + ".m2p");
    EXPECT_EQ(Morvane::Security::CipherUtils::getHint(encrypted.path), "\xE2\x98\x83");
    EXPECT_EQ(Decryptor(kPassword, "").decryptFile(encrypted.path, ""),
              "ok,OK," + dir.path().string() + "//" + name);
    EXPECT_EQ(m2::test::readFile(dir / name), "content");
}

// The engine overwrites the plain file before it removes it, so a file its owner made
// read-only is refused, whole and alone: the batch lifts the owner-write bit first. Root
// passes the permission check: it encrypts such a file and the result gets the owner-write
// bit.
TEST(FilePipelines, PermissionsFollowTheFileThroughBothSteps) {
    m2::test::TempDir dir;
    const bool root = ::geteuid() == 0;
    constexpr mode_t refused = 0;
    const struct {
        mode_t source, expected, asRoot;
    } cases[] = {{0640, 0640, 0640},    {0600, 0600, 0600},    {0755, 0644, 0644},
                 {0444, refused, 0644}, {0400, refused, 0600}, {0555, refused, 0644}};
    const mode_t mask = ::umask(0);
    ::umask(mask);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        const mode_t expected = root ? c.asRoot : c.expected;
        m2::test::writeFile(dir / "a.txt", "content");
        ASSERT_EQ(::chmod((dir / "a.txt").c_str(), c.source), 0);
        const SealkitOutcome encrypted =
            Encryptor(kPassword, "", false, false).encryptFileOutcome(dir / "a.txt", "");
        if (expected == refused) {
            EXPECT_EQ(encrypted.text(), "fail,Permission denied," + (dir / "a.txt").string());
            EXPECT_EQ(m2::test::listFolder(dir.path()), std::vector<std::string>{"a.txt"});
            EXPECT_EQ(m2::test::readFile(dir / "a.txt"), "content");
            EXPECT_EQ(m2::test::permissionBits(dir / "a.txt"), c.source);
        } else {
            ASSERT_TRUE(encrypted.succeeded()) << encrypted.text();
            EXPECT_EQ(m2::test::permissionBits(encrypted.path), expected & ~mask);
            const SealkitOutcome decrypted =
                Decryptor(kPassword, "").decryptFileOutcome(encrypted.path, "");
            ASSERT_TRUE(decrypted.succeeded()) << decrypted.text();
            EXPECT_EQ(m2::test::permissionBits(dir / "a.txt"), expected & ~mask);
        }
        ::chmod((dir / "a.txt").c_str(), 0600);
        ::unlink((dir / "a.txt").c_str());
    }
}

TEST(FilePipelines, RelativePathsStayInTheirFolder) {
    m2::test::TempDir dir;
    m2::test::writeFile(dir / "a.txt", "content");
    char* previous = ::getcwd(nullptr, 0);
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    EXPECT_EQ(Encryptor(kPassword, "", false, false).encryptFile("a.txt", ""), "ok,OK,a.txt.m2p");
    EXPECT_EQ(Decryptor(kPassword, "").decryptFile("a.txt.m2p", ""), "ok,OK,.//a.txt");
    ASSERT_EQ(::chdir(previous), 0);
    std::free(previous);
    EXPECT_EQ(m2::test::readFile(dir / "a.txt"), "content");
    EXPECT_EQ(m2::test::listFolder(dir.path()), std::vector<std::string>{"a.txt"});
}

TEST(FilePipelines, ShredderAndKeyfileThroughTheFacade) {
    m2::test::TempDir dir;
    m2::test::writeFile(dir / "short", "too short");
    EXPECT_EQ(Keyfile().createKey(dir / "short").view(), "Error, could not create keyfile");
    m2::test::writeFile(dir / "key", std::string(2048, '\0'));
    // SHA-256 of 2048 zero bytes.
    EXPECT_EQ(Keyfile().createKey(dir / "key").view(),
              "e5a00aa9991ac8a5ee3109844d84a55583bd20572ad3ffcd42792f3c36b183ad");
    EXPECT_TRUE(Shredder().shredFile(dir / "key"));
    EXPECT_FALSE(m2::test::pathExists(dir / "key"));
    EXPECT_FALSE(Shredder().shredFile(dir / "key"));
}

}  // namespace
