// `cmake --install` of this build into a fresh prefix: the program, the desktop entry, the
// MIME package and the icon land in the standard places, the entry validates, and the MIME
// database made from the package maps "*.m2p" to our type.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/CommandOutput.h"
#include "support/PrivateDesktop.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;

namespace {

const std::string kMimeType = "application/x-morvane2-encrypted";

TEST(Install, PutsProgramEntryMimeTypeAndIconInTheStandardPlaces) {
    m2::test::TempDir prefix;
    int status = -1;
    const std::string log =
        m2test::commandOutput("cmake --install '" + std::string(M2_BINARY_DIR) + "' --prefix '" +
                                  prefix.path().string() + "' 2>&1",
                              &status);
    ASSERT_EQ(status, 0) << log;

    const fs::path program = prefix / "bin/morvane2";
    EXPECT_TRUE(fs::is_regular_file(program));
    EXPECT_NE(fs::status(program).permissions() & fs::perms::owner_exec, fs::perms::none);
    if (fs::exists(fs::path(M2_BINARY_DIR) / "m2-launcher")) {
        const fs::path launcher = prefix / "libexec/morvane2/m2-launcher";
        EXPECT_TRUE(fs::is_regular_file(launcher));
        // The program in the installed layout finds it there, whatever the prefix: a probe
        // running the program's own search from the installed program's folder.
        const fs::path probe = prefix / "bin/launcher_probe";
        fs::copy_file(m2::test::testHelper("launcher_probe"), probe);
        EXPECT_EQ(m2test::commandOutput("'" + probe.string() + "'", &status),
                  launcher.string() + "\n");
        EXPECT_EQ(status, 0);
        fs::remove(probe);
    }
    EXPECT_TRUE(fs::is_regular_file(prefix / "share/icons/hicolor/scalable/apps/morvane2.svg"));

    const fs::path entry = prefix / "share/applications/morvane2.desktop";
    ASSERT_TRUE(fs::is_regular_file(entry));
    const std::string validation =
        m2test::commandOutput("desktop-file-validate '" + entry.string() + "' 2>&1", &status);
    EXPECT_EQ(status, 0) << validation;
    EXPECT_EQ(validation, "") << "hints or warnings";
    const std::string text = m2::test::readFile(entry);
    EXPECT_NE(text.find("\nExec=morvane2 %F\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nMimeType=" + kMimeType + ";\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nIcon=morvane2\n"), std::string::npos) << text;

    const fs::path mime = prefix / "share/mime";
    ASSERT_TRUE(fs::is_regular_file(mime / "packages/morvane2.xml"));
    const std::string update =
        m2test::commandOutput("update-mime-database '" + mime.string() + "' 2>&1", &status);
    ASSERT_EQ(status, 0) << update;
    const std::string globs = m2::test::readFile(mime / "globs2");
    EXPECT_NE(globs.find(":" + kMimeType + ":*.m2p"), std::string::npos) << globs;
}

}  // namespace
