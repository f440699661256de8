#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "app/services/PListReader.h"
#include "app/services/Settings.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "support/HandWrittenPlist.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::Settings;
using namespace m2::test;

namespace {

class SettingsTest : public testing::Test {
  protected:
    void SetUp() override { m2::platform::setDocumentsFolderOverride(dir_ / "Documents"); }
    void TearDown() override { m2::platform::setDocumentsFolderOverride(std::nullopt); }

    [[nodiscard]] fs::path file() const { return dir_ / "Documents/Morvane/Morvane2.plist"; }
    [[nodiscard]] m2::platform::PropertyList stored() const {
        auto list = m2::platform::PropertyList::parse(readFile(file()));
        EXPECT_TRUE(list.has_value());
        return list.value_or(m2::platform::PropertyList());
    }
    // The file as an independent reader (Python's plistlib) sees it, one "key=repr" a line.
    [[nodiscard]] std::string readByPython() const {
        const std::string command =
            "/usr/bin/python3 -c 'import plistlib,sys\n"
            "d=plistlib.load(open(sys.argv[1],\"rb\"))\n"
            "for k in sorted(d): print(k+\"=\"+repr(d[k]))' '" +
            file().string() + "'";
        std::string out;
        if (FILE* pipe = ::popen(command.c_str(), "r")) {
            char buffer[512];
            while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
                out += buffer;
            }
            EXPECT_EQ(::pclose(pipe), 0) << command;
        }
        return out;
    }

    // Names of the settings files set aside, sorted.
    [[nodiscard]] std::vector<std::string> setAside() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(file().parent_path())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("Morvane2.plist.unreadable-", 0) == 0) {
                names.push_back(name);
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir_;
};

TEST_F(SettingsTest, DefaultsWithNothingStoredAndTheFileIsSeeded) {
    const Settings& s = Settings::instance();
    EXPECT_EQ(s.NotesPath(), "");
    EXPECT_TRUE(s.FirstRun());
    EXPECT_FALSE(s.DatabaseSetup());
    EXPECT_EQ(s.TimeOutInterval(), -1);
    EXPECT_EQ(s.TimeoutPeriod(), 0);
    EXPECT_TRUE(s.SingleSignOn());
    EXPECT_FALSE(s.DropboxIncluded());
    EXPECT_EQ(s.DropboxPath(), "");
    EXPECT_FALSE(s.DropboxBusnessIncluded());
    EXPECT_EQ(s.DropboxBusinessPath(), "");
    EXPECT_FALSE(s.iCloudIncluded());
    EXPECT_EQ(s.iCloudPath(), "");
    EXPECT_FALSE(s.GoogleDriveIncluded());
    EXPECT_EQ(s.GoogleDrivePath(), "");
    EXPECT_TRUE(s.MonitorCloudFolders());
    EXPECT_FALSE(s.EncryptFilenames());
    EXPECT_FALSE(s.HideFileExtensions());

    // The missing Documents folder was made on first use; the list is private to the user.
    ASSERT_TRUE(fs::exists(file()));
    EXPECT_EQ(permissionBits(file().parent_path()), 0700u);
    EXPECT_EQ(permissionBits(file()), 0600u);
}

TEST_F(SettingsTest, EveryPropertyRoundTripsUnderItsExactKey) {
    const Settings& s = Settings::instance();
    const struct {
        const char* key;
        std::function<void()> set;
        std::function<bool()> check;
        m2::platform::PropertyValue stored;
    } cases[] = {
        {"notesPathKey", [&] { s.setNotesPath("/n/M2_SecureNotes.m2n"); },
         [&] { return s.NotesPath() == "/n/M2_SecureNotes.m2n"; },
         std::string("/n/M2_SecureNotes.m2n")},
        {"firstRun", [&] { s.setFirstRun(false); }, [&] { return !s.FirstRun(); }, false},
        {"databaseSetupKey", [&] { s.setDatabaseSetup(true); }, [&] { return s.DatabaseSetup(); },
         true},
        {"timeoutIntervalKey", [&] { s.setTimeOutInterval(600); },
         [&] { return s.TimeOutInterval() == 600; }, std::int64_t{600}},
        {"timeoutPeriodKey", [&] { s.setTimeoutPeriod(4); }, [&] { return s.TimeoutPeriod() == 4; },
         std::int64_t{4}},
        {"singleSignOnKey", [&] { s.setSingleSignOn(false); }, [&] { return !s.SingleSignOn(); },
         false},
        {"dropboxIncludedKey", [&] { s.setDropboxIncluded(true); },
         [&] { return s.DropboxIncluded(); }, true},
        {"dropboxPathKey", [&] { s.setDropboxPath("/d"); }, [&] { return s.DropboxPath() == "/d"; },
         std::string("/d")},
        {"dropboxBusnessIncludedKey", [&] { s.setDropboxBusnessIncluded(true); },
         [&] { return s.DropboxBusnessIncluded(); }, true},
        {"dropboxBusinessPathKey", [&] { s.setDropboxBusinessPath("/db"); },
         [&] { return s.DropboxBusinessPath() == "/db"; }, std::string("/db")},
        {"iCloudIncludedKey", [&] { s.setiCloudIncluded(true); },
         [&] { return s.iCloudIncluded(); }, true},
        {"iCloudPathKey", [&] { s.setiCloudPath("/i c"); },
         [&] { return s.iCloudPath() == "/i c"; }, std::string("/i c")},
        {"GoogleDriveIncludedKey", [&] { s.setGoogleDriveIncluded(true); },
         [&] { return s.GoogleDriveIncluded(); }, true},
        {"GoogleDrivePathKey", [&] { s.setGoogleDrivePath("/g,1 é"); },
         [&] { return s.GoogleDrivePath() == "/g,1 é"; }, std::string("/g,1 é")},
        {"monitorCloudFoldersRealTimeKey", [&] { s.setMonitorCloudFolders(false); },
         [&] { return !s.MonitorCloudFolders(); }, false},
        {"EncryptFilenamesKey", [&] { s.setEncryptFilenames(true); },
         [&] { return s.EncryptFilenames(); }, true},
        {"HideFileExtensionsKey", [&] { s.setHideFileExtensions(true); },
         [&] { return s.HideFileExtensions(); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        c.set();
        EXPECT_TRUE(c.check());
        EXPECT_EQ(stored().value(c.key), c.stored);
    }
    // Later sets did not disturb earlier ones.
    for (const auto& c : cases) {
        EXPECT_TRUE(c.check()) << c.key;
    }
    EXPECT_EQ(stored().keys().size(), std::size(cases));
}

TEST_F(SettingsTest, UnknownKeysAndExtremeIntegersSurviveAndPythonReadsTheSameValues) {
    // A list written by another program, in binary form, with keys no property uses.
    fs::create_directories(file().parent_path());
    const std::string make =
        "/usr/bin/python3 -c 'import plistlib,sys,datetime\n"
        "d={\"keepMe\":\"yes\",\"nested\":{\"a\":[1,2.5,b\"\\x00\\x01\"]},\"when\":"
        "datetime.datetime(2020,1,2,3,4,5),\"firstRun\":False}\n"
        "plistlib.dump(d,open(sys.argv[1],\"wb\"),fmt=plistlib.FMT_BINARY)' '" +
        file().string() + "'";
    ASSERT_EQ(std::system(make.c_str()), 0);
    const Settings& s = Settings::instance();
    EXPECT_FALSE(s.FirstRun());

    for (const std::int64_t value :
         {std::int64_t{-1}, std::int64_t{0}, std::numeric_limits<std::int64_t>::max(),
          std::int64_t{4294967296}}) {
        s.setTimeOutInterval(value);
        EXPECT_EQ(s.TimeOutInterval(), value);
    }
    // Below -1 no time-out means anything: stored as written, read as the default.
    for (const std::int64_t value : {std::numeric_limits<std::int64_t>::min(), std::int64_t{-5}}) {
        s.setTimeOutInterval(value);
        EXPECT_EQ(s.TimeOutInterval(), -1) << value;
        EXPECT_EQ(stored().value("timeoutIntervalKey"), m2::platform::PropertyValue(value));
    }
    s.setTimeOutInterval(-1);
    s.setNotesPath("/home/u/Notes & <things>/M2_SecureNotes.m2n");
    s.setSingleSignOn(false);

    EXPECT_EQ(readByPython(),
              "firstRun=False\n"
              "keepMe='yes'\n"
              "nested={'a': [1, 2.5, b'\\x00\\x01']}\n"
              "notesPathKey='/home/u/Notes & <things>/M2_SecureNotes.m2n'\n"
              "singleSignOnKey=False\n"
              "timeoutIntervalKey=-1\n"
              "when=datetime.datetime(2020, 1, 2, 3, 4, 5)\n");
}

TEST_F(SettingsTest, ValuesOfAnotherTypeReadAsTheirNumberOrTheDefault) {
    fs::create_directories(file().parent_path());
    m2::platform::PropertyList list;
    list.set("firstRun", std::string("no"));       // a string is no Bool: default true
    list.set("singleSignOnKey", std::int64_t{0});  // numbers read as Bool
    list.set("databaseSetupKey", std::int64_t{1});
    list.set("timeoutIntervalKey", std::string("60"));  // a string is no Int: default -1
    list.set("timeoutPeriodKey", 3.0);
    list.set("notesPathKey", std::int64_t{5});  // a number is no String
    writeFile(file(), list.toXml());

    const Settings& s = Settings::instance();
    EXPECT_TRUE(s.FirstRun());
    EXPECT_FALSE(s.SingleSignOn());
    EXPECT_TRUE(s.DatabaseSetup());
    EXPECT_EQ(s.TimeOutInterval(), -1);
    EXPECT_EQ(s.TimeoutPeriod(), 3);
    EXPECT_EQ(s.NotesPath(), "");
}

TEST_F(SettingsTest, DamagedFileReadsDefaultsAndIsMovedAsideOnTheFirstSet) {
    fs::create_directories(file().parent_path());
    const std::string torn = "<?xml version=\"1.0\"?><plist><dict><key>databaseSe";
    writeFile(file(), torn);
    const Settings& s = Settings::instance();
    EXPECT_FALSE(s.DatabaseSetup());
    EXPECT_EQ(s.TimeOutInterval(), -1);
    EXPECT_EQ(readFile(file()), torn) << "a read must not touch the damaged file";

    testing::internal::CaptureStdout();
    s.setDatabaseSetup(true);
    const std::string diagnostic = testing::internal::GetCapturedStdout();
    EXPECT_NE(diagnostic.find("Morvane2.plist.unreadable-"), std::string::npos) << diagnostic;

    const std::vector<std::string> aside = setAside();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(readFile(file().parent_path() / aside[0]), torn);
    EXPECT_TRUE(s.DatabaseSetup());
    EXPECT_TRUE(s.FirstRun());
    EXPECT_EQ(stored().value("timeoutIntervalKey"), m2::platform::PropertyValue(std::int64_t{-1}));
}

// At start-up whatever cannot be read as settings goes aside under a dated name (a second
// damage under a name of its own) and defaults take its place; a readable file, also one
// reached through a link, stays. No read blocks on a FIFO or follows /dev/zero for ever.
TEST_F(SettingsTest, UnreadableSettingsAreSetAsideAtStartUp) {
    fs::create_directories(file().parent_path());
    const std::string good = [] {
        m2::platform::PropertyList list;
        list.set("databaseSetupKey", true);
        return list.toXml();
    }();
    std::string deep = "<?xml version=\"1.0\"?><plist>";
    for (int i = 0; i < 30000; ++i) {
        deep += "<array>";
    }
    const struct {
        const char* name;
        std::function<void(const fs::path&)> make;
        bool setAside;
    } cases[] = {
        {"readable", [&](const fs::path& p) { writeFile(p, good); }, false},
        {"link to a readable file",
         [&](const fs::path& p) {
             writeFile(dir_ / "elsewhere.plist", good);
             fs::create_symlink(dir_ / "elsewhere.plist", p);
         },
         false},
        {"empty", [](const fs::path& p) { writeFile(p, ""); }, true},
        {"garbage", [](const fs::path& p) { writeFile(p, "\x01\xffnot a list"); }, true},
        {"truncated", [&](const fs::path& p) { writeFile(p, good.substr(0, good.size() / 2)); },
         true},
        {"nested 30,000 deep", [&](const fs::path& p) { writeFile(p, deep); }, true},
        {"larger than any settings",
         [](const fs::path& p) { writeFile(p, std::string(17u << 20, ' ')); }, true},
        {"a FIFO", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, true},
        {"a link to /dev/zero", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); },
         true},
        {"a folder", [](const fs::path& p) { fs::create_directories(p / "inside"); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& name : setAside()) {
            fs::remove_all(file().parent_path() / name);
        }
        fs::remove_all(file());
        c.make(file());
        testing::internal::CaptureStdout();
        const auto aside = m2::PListReader::setAsideIfDamaged();
        (void)testing::internal::GetCapturedStdout();
        EXPECT_EQ(aside.has_value(), c.setAside);
        EXPECT_EQ(setAside().size(), c.setAside ? 1u : 0u);
        // Defaults (or the good values) read at once, from a regular file.
        EXPECT_EQ(Settings::instance().DatabaseSetup(), !c.setAside);
        EXPECT_TRUE(fs::is_regular_file(file()));
    }
    // A second damage in the same second keeps the first copy.
    writeFile(file(), "first damage");
    testing::internal::CaptureStdout();
    const auto first = m2::PListReader::setAsideIfDamaged();
    writeFile(file(), "second damage");
    const auto second = m2::PListReader::setAsideIfDamaged();
    (void)testing::internal::GetCapturedStdout();
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    EXPECT_EQ(readFile(*first), "first damage");
    EXPECT_EQ(readFile(*second), "second damage");
}

TEST_F(SettingsTest, DeletedFileIsSeededAgainAndUnusableFolderGivesDefaults) {
    const Settings& s = Settings::instance();
    s.setTimeoutPeriod(6);
    fs::remove(file());
    EXPECT_EQ(s.TimeoutPeriod(), 0);
    EXPECT_TRUE(fs::exists(file()));

    // A file where the Documents folder should be: reads give defaults, sets are dropped.
    writeFile(dir_ / "blocked", "x");
    m2::platform::setDocumentsFolderOverride(dir_ / "blocked");
    testing::internal::CaptureStdout();
    s.setTimeoutPeriod(2);
    EXPECT_EQ(s.TimeoutPeriod(), 0);
    EXPECT_FALSE(testing::internal::GetCapturedStdout().empty());
    EXPECT_EQ(readFile(dir_ / "blocked"), "x");
}

}  // namespace

// Files another program wrote: a zero byte inside a text or a key, a Boolean stored as a
// string, a number or data, a key twice. Each reads without aborting, as that key's default
// where its value cannot be one, and the same before and after a save of another setting.
TEST_F(SettingsTest, HandWrittenFilesReadAsTheirDefaultsAndTheSameAfterASave) {
    using m2::test::PlistObject;
    const std::string nul(1, '\0');
    struct Case {
        const char* what;
        std::string bytes;
        std::function<void(const Settings&)> check;
    };
    const auto setUp = [](bool expected) {
        return [expected](const Settings& s) { EXPECT_EQ(s.DatabaseSetup(), expected); };
    };
    const std::vector<Case> cases = {
        {"XML, zero byte in a text",
         m2::test::xmlPlist({{"notesPathKey", "<string>/home/u" + nul + "x</string>"},
                             {"databaseSetupKey", "<true/>"}}),
         [](const Settings& s) {
             EXPECT_EQ(s.NotesPath(), "");
             EXPECT_TRUE(s.DatabaseSetup());
         }},
        {"XML, zero byte in a key",
         m2::test::xmlPlist({{"dropbox" + nul + "PathKey", "<string>/d</string>"},
                             {"databaseSetupKey", "<true/>"}}),
         [](const Settings& s) {
             EXPECT_EQ(s.DropboxPath(), "");
             EXPECT_TRUE(s.DatabaseSetup());
         }},
        {"binary, zero byte in UTF-16 texts",
         m2::test::binaryPlist(
             {{PlistObject::ascii("notesPathKey"), PlistObject::utf16("a" + nul + "b")},
              {PlistObject::ascii("iCloudPathKey"), PlistObject::utf16("c" + nul + "d")},
              {PlistObject::ascii("databaseSetupKey"), PlistObject::boolean(true)}}),
         [](const Settings& s) {
             EXPECT_EQ(s.NotesPath(), "");
             EXPECT_EQ(s.iCloudPath(), "");
             EXPECT_TRUE(s.DatabaseSetup());
         }},
        {"binary, zero byte in a UTF-16 key",
         m2::test::binaryPlist(
             {{PlistObject::utf16("firstRun" + nul + "x"), PlistObject::boolean(false)},
              {PlistObject::ascii("databaseSetupKey"), PlistObject::boolean(true)}}),
         [](const Settings& s) {
             EXPECT_TRUE(s.FirstRun());
             EXPECT_TRUE(s.DatabaseSetup());
         }},
        {"XML, Boolean as a string",
         m2::test::xmlPlist({{"databaseSetupKey", "<string>true</string>"}}), setUp(false)},
        {"binary, Boolean as a string",
         m2::test::binaryPlist(
             {{PlistObject::ascii("databaseSetupKey"), PlistObject::ascii("true")}}),
         setUp(false)},
        {"binary, Boolean as data",
         m2::test::binaryPlist(
             {{PlistObject::ascii("databaseSetupKey"), PlistObject::data("\x01")}}),
         setUp(false)},
        {"binary, Boolean as an integer",
         m2::test::binaryPlist({{PlistObject::ascii("databaseSetupKey"), PlistObject::integer(1)}}),
         setUp(true)},
        {"XML, a key twice",
         m2::test::xmlPlist({{"databaseSetupKey", "<false/>"}, {"databaseSetupKey", "<true/>"}}),
         setUp(true)},
        {"binary, a key twice",
         m2::test::binaryPlist(
             {{PlistObject::ascii("databaseSetupKey"), PlistObject::boolean(false)},
              {PlistObject::ascii("databaseSetupKey"), PlistObject::boolean(true)}}),
         setUp(true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::create_directories(file().parent_path());
        writeFile(file(), c.bytes);
        ASSERT_FALSE(m2::PListReader::setAsideIfDamaged().has_value()) << "it parses";
        const Settings& s = Settings::instance();
        c.check(s);
        s.setTimeoutPeriod(5);
        c.check(s);
        EXPECT_EQ(s.TimeoutPeriod(), 5);
        fs::remove(file());
    }
}

// Every Boolean setting stored as a text or as data reads as its default.
TEST_F(SettingsTest, BooleansOfAnotherKindReadAsTheirDefaults) {
    using m2::test::PlistObject;
    struct Key {
        const char* name;
        bool (Settings::*get)() const;
        bool fallback;
    };
    const Key keys[] = {
        {"firstRun", &Settings::FirstRun, true},
        {"databaseSetupKey", &Settings::DatabaseSetup, false},
        {"singleSignOnKey", &Settings::SingleSignOn, true},
        {"dropboxIncludedKey", &Settings::DropboxIncluded, false},
        {"iCloudIncludedKey", &Settings::iCloudIncluded, false},
        {"monitorCloudFoldersRealTimeKey", &Settings::MonitorCloudFolders, true},
        {"EncryptFilenamesKey", &Settings::EncryptFilenames, false},
        {"HideFileExtensionsKey", &Settings::HideFileExtensions, false},
    };
    fs::create_directories(file().parent_path());
    for (const Key& key : keys) {
        for (const PlistObject& value : {PlistObject::ascii(key.fallback ? "NO" : "YES"),
                                         PlistObject::data(key.fallback ? "" : "\x01")}) {
            SCOPED_TRACE(key.name);
            writeFile(file(), m2::test::binaryPlist({{PlistObject::ascii(key.name), value}}));
            EXPECT_EQ((Settings::instance().*key.get)(), key.fallback);
        }
    }
}
