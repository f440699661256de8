#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/FileAttributes.h"
#include "support/TestFiles.h"

using namespace m2::platform;
using namespace m2::test;

namespace {

// Checked by mode bits, not by trying to write: root ignores them.
TEST(FileAttributes, LockingTogglesOnlyTheOwnerWriteBit) {
    TempDir dir;
    const auto file = dir / "a.txt.m2p";
    writeFile(file, "x");
    ASSERT_EQ(::chmod(file.c_str(), 0664), 0);

    EXPECT_EQ(isLocked(file), false);
    EXPECT_TRUE(setLocked(file, true));
    EXPECT_EQ(permissionBits(file), 0464u);
    EXPECT_EQ(isLocked(file), true);
    EXPECT_TRUE(setLocked(file, true));
    EXPECT_EQ(permissionBits(file), 0464u);
    EXPECT_TRUE(setLocked(file, false));
    EXPECT_EQ(permissionBits(file), 0664u);

    EXPECT_EQ(isLocked(dir / "missing"), std::nullopt);
    EXPECT_FALSE(setLocked(dir / "missing", true));
}

}  // namespace
