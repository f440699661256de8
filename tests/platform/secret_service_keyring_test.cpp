// Runs against a real Secret Service (a private gnome-keyring); secret-tool reads and
// writes items as an independent client.
#include <gtest/gtest.h>

#include <string>

#include "app/services/KeychainWrapper.h"
#include "support/CommandOutput.h"

using m2::KeychainData;
using m2::KeychainWrapper;

namespace {

struct Shell {
    int status;
    std::string out;
};

Shell run(const std::string& command) {
    Shell r{-1, {}};
    r.out = m2test::commandOutput(command + " 2>/dev/null", &r.status);
    return r;
}

Shell lookup(const std::string& attributes) {
    return run("secret-tool lookup " + attributes);
}

TEST(SecretServiceKeychain, AddDuplicateUpdateReadAndRemove) {
    const KeychainWrapper store("m2test.basic");
    EXPECT_FALSE(store.hasValueForKey("k"));
    EXPECT_FALSE(store.stringForKey("k"));
    EXPECT_FALSE(store.removeObjectForKey("k"));

    ASSERT_TRUE(store.setString("first", "k")) << "no Secret Service on the session bus?";
    EXPECT_EQ(lookup("service m2test.basic account k").out, "first");
    EXPECT_EQ(lookup("service m2test.basic generic k").out, "first");

    ASSERT_TRUE(store.setString("sec\xC3\xB6nd \xE2\x82\xAC", "k"));  // the add finds a duplicate
    EXPECT_EQ(store.stringForKey("k"), "sec\xC3\xB6nd \xE2\x82\xAC");
    const Shell all = run("secret-tool search --all service m2test.basic");
    EXPECT_EQ(all.out.find("[/"), all.out.rfind("[/")) << "one item only:\n" << all.out;

    const auto ref = store.dataRefForKey("k");
    ASSERT_TRUE(ref);
    EXPECT_EQ(std::string(ref->begin(), ref->end()).rfind("/org/freedesktop/secrets/", 0), 0u);

    EXPECT_TRUE(store.removeObjectForKey("k"));
    EXPECT_FALSE(store.hasValueForKey("k"));
    EXPECT_NE(lookup("service m2test.basic account k").status, 0);
}

TEST(SecretServiceKeychain, BinaryValuesKeepEveryByte) {
    const KeychainWrapper store("m2test.binary");
    const KeychainData cases[] = {
        {},
        {0},
        {0, 1, 0, 0xFF, 0, 0x80, 0},
        KeychainData(4096, 0),
    };
    for (const auto& value : cases) {
        SCOPED_TRACE(value.size());
        ASSERT_TRUE(store.setData(value, "blob"));
        EXPECT_EQ(store.dataForKey("blob"), value);
    }
    EXPECT_TRUE(store.setString("", "empty"));
    EXPECT_EQ(store.stringForKey("empty"), "");
}

TEST(SecretServiceKeychain, TypedValuesAreBinaryPropertyListsOthersCanRead) {
    const KeychainWrapper store("m2test.typed");
    ASSERT_TRUE(store.setInteger(42, "n"));
    ASSERT_TRUE(store.setDouble(-2.5, "d"));
    ASSERT_TRUE(store.setBool(true, "b"));
    EXPECT_EQ(store.integerForKey("n"), 42);
    EXPECT_EQ(store.doubleForKey("d"), -2.5);
    EXPECT_EQ(store.boolForKey("b"), true);

    const std::string python =
        " | python3 -c 'import plistlib,sys; print(repr(plistlib.loads(sys.stdin.buffer.read())))'";
    EXPECT_EQ(lookup("service m2test.typed account n" + python).out, "42\n");
    EXPECT_EQ(lookup("service m2test.typed account d" + python).out, "-2.5\n");
    EXPECT_EQ(lookup("service m2test.typed account b" + python).out, "True\n");
}

TEST(SecretServiceKeychain, AccessGroupIsWrittenAndNarrowsTheSearch) {
    const KeychainWrapper grouped("m2test.group", "G");
    const KeychainWrapper otherGroup("m2test.group", "H");
    const KeychainWrapper anyGroup("m2test.group");
    ASSERT_TRUE(grouped.setString("in G", "k"));

    EXPECT_EQ(lookup("service m2test.group account k accessGroup G").out, "in G");
    EXPECT_EQ(grouped.stringForKey("k"), "in G");
    EXPECT_EQ(anyGroup.stringForKey("k"), "in G");  // no group asked: every group matches
    EXPECT_FALSE(otherGroup.stringForKey("k"));

    // The same key in another group is another item, not a duplicate.
    ASSERT_TRUE(otherGroup.setString("in H", "k"));
    EXPECT_EQ(grouped.stringForKey("k"), "in G");
    EXPECT_EQ(otherGroup.stringForKey("k"), "in H");

    EXPECT_TRUE(otherGroup.removeAllKeys());
    EXPECT_EQ(grouped.stringForKey("k"), "in G");
    EXPECT_FALSE(otherGroup.stringForKey("k"));
}

TEST(SecretServiceKeychain, RemoveAllAndWipeLeaveOtherSecretsAlone) {
    ASSERT_EQ(run("printf foreign | secret-tool store --label=foreign service m2test.all "
                  "account foreign")
                  .status,
              0);
    const KeychainWrapper store("m2test.all");
    const KeychainWrapper neighbour("m2test.neighbour");
    ASSERT_TRUE(store.setString("a", "k1"));
    ASSERT_TRUE(store.setString("b", "k2"));
    ASSERT_TRUE(neighbour.setString("c", "k1"));
    EXPECT_FALSE(store.stringForKey("foreign"));  // another program's item is never read

    EXPECT_TRUE(store.removeAllKeys());
    EXPECT_FALSE(store.hasValueForKey("k1"));
    EXPECT_FALSE(store.hasValueForKey("k2"));
    EXPECT_EQ(neighbour.stringForKey("k1"), "c");
    EXPECT_EQ(lookup("service m2test.all account foreign").out, "foreign");
    EXPECT_FALSE(store.removeAllKeys());  // nothing left to delete

    KeychainWrapper::wipeKeychain();
    EXPECT_FALSE(neighbour.hasValueForKey("k1"));
    EXPECT_EQ(lookup("service m2test.all account foreign").out, "foreign");
}

TEST(SecretServiceKeychain, KeysThatAreNotUtf8AreRefusedSafely) {
    const KeychainWrapper store("m2test.bad");
    EXPECT_FALSE(store.setString("v", "\xFF"));
    EXPECT_FALSE(store.dataForKey("\xC0\x80"));
    EXPECT_FALSE(store.removeObjectForKey("\xFF"));
}

}  // namespace
