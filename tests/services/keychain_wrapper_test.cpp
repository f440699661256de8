#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "app/services/KeychainWrapper.h"
#include "support/FakeKeychain.h"

using m2::keychainAttrValue;
using m2::KeychainData;
using m2::KeychainItemAccessibility;
using m2::KeychainItemClass;
using m2::KeychainItemOptions;
using m2::KeychainWrapper;
using m2::test::FakeKeychain;

namespace {

KeychainData bytes(std::string_view s) {
    return KeychainData(s.begin(), s.end());
}

struct KeychainWrapperTest : testing::Test {
    std::shared_ptr<FakeKeychain> fake = std::make_shared<FakeKeychain>();
    KeychainWrapper store{"svc", std::nullopt, fake};
    KeychainWrapper grouped{"svc", "group", fake};
};

TEST(KeychainAttrValue, EveryCaseHasItsConstant) {
    const std::pair<KeychainItemClass, std::string_view> classes[] = {
        {KeychainItemClass::GenericPassword, "genericPassword"},
        {KeychainItemClass::InternetPassword, "internetPassword"},
        {KeychainItemClass::Certificate, "certificate"},
        {KeychainItemClass::Key, "key"},
        {KeychainItemClass::Identity, "identity"},
    };
    for (const auto& [c, text] : classes) {
        EXPECT_EQ(keychainAttrValue(c), text);
    }
    const std::pair<KeychainItemAccessibility, std::string_view> accessibilities[] = {
        {KeychainItemAccessibility::AfterFirstUnlock, "afterFirstUnlock"},
        {KeychainItemAccessibility::AfterFirstUnlockThisDeviceOnly,
         "afterFirstUnlockThisDeviceOnly"},
        {KeychainItemAccessibility::Always, "always"},
        {KeychainItemAccessibility::WhenPasscodeSetThisDeviceOnly, "whenPasscodeSetThisDeviceOnly"},
        {KeychainItemAccessibility::AlwaysThisDeviceOnly, "alwaysThisDeviceOnly"},
        {KeychainItemAccessibility::WhenUnlocked, "whenUnlocked"},
        {KeychainItemAccessibility::WhenUnlockedThisDeviceOnly, "whenUnlockedThisDeviceOnly"},
    };
    for (const auto& [a, text] : accessibilities) {
        EXPECT_EQ(keychainAttrValue(a), text);
    }
    EXPECT_FALSE(keychainAttrValue(static_cast<KeychainItemClass>(5)));
    EXPECT_FALSE(keychainAttrValue(static_cast<KeychainItemAccessibility>(7)));
}

TEST_F(KeychainWrapperTest, QueryCarriesServiceGroupAndKeyInBothAttributes) {
    ASSERT_TRUE(store.setString("v", "k\xC3\xA9"));
    ASSERT_TRUE(grouped.setString("v", ""));
    ASSERT_EQ(fake->calls.size(), 2u);

    const auto& plain = fake->calls[0].query;
    EXPECT_EQ(plain.itemClass, "genericPassword");
    EXPECT_EQ(plain.accessible, "whenUnlocked");
    EXPECT_EQ(plain.service, "svc");
    EXPECT_FALSE(plain.accessGroup.has_value());
    EXPECT_EQ(plain.account, "k\xC3\xA9");
    EXPECT_EQ(plain.generic, plain.account);

    const auto& withGroup = fake->calls[1].query;
    EXPECT_EQ(withGroup.accessGroup, "group");
    EXPECT_EQ(withGroup.account, "");  // an empty key is empty data, not a missing attribute
    EXPECT_EQ(withGroup.generic, "");

    const KeychainItemOptions options{KeychainItemClass::InternetPassword,
                                      KeychainItemAccessibility::Always};
    ASSERT_TRUE(store.setString("v", "k", options));
    EXPECT_EQ(fake->calls.back().query.itemClass, "internetPassword");
    EXPECT_EQ(fake->calls.back().query.accessible, "always");
}

TEST_F(KeychainWrapperTest, SetAddsThenUpdatesAndReadsBack) {
    EXPECT_FALSE(store.stringForKey("k"));
    EXPECT_FALSE(store.hasValueForKey("k"));
    EXPECT_FALSE(store.removeObjectForKey("k"));

    ASSERT_TRUE(store.setString("one", "k"));
    ASSERT_TRUE(store.setString("two", "k"));
    EXPECT_EQ(fake->items.size(), 1u);
    EXPECT_EQ(fake->calls.back().operation, "update");
    EXPECT_EQ(store.stringForKey("k"), "two");
    EXPECT_TRUE(store.hasValueForKey("k"));

    EXPECT_TRUE(store.removeObjectForKey("k"));
    EXPECT_FALSE(store.stringForKey("k"));
}

TEST_F(KeychainWrapperTest, OptionsSelectTheItemForUpdateAndRemove) {
    const KeychainItemOptions internet{KeychainItemClass::InternetPassword};
    ASSERT_TRUE(store.setString("generic", "k"));
    ASSERT_TRUE(store.setString("internet 1", "k", internet));
    ASSERT_TRUE(store.setString("internet 2", "k", internet));

    EXPECT_EQ(store.stringForKey("k"), "generic");
    EXPECT_EQ(store.stringForKey("k", internet), "internet 2");

    EXPECT_TRUE(store.removeObjectForKey("k", internet));
    EXPECT_EQ(store.stringForKey("k"), "generic");
    EXPECT_FALSE(store.stringForKey("k", internet));
}

TEST_F(KeychainWrapperTest, TextsThatAreNotUtf8AreRefused) {
    EXPECT_FALSE(store.setString("\xFF\xFE", "k"));
    EXPECT_TRUE(fake->calls.empty());

    ASSERT_TRUE(store.setData(bytes("\xC3\x28"), "k"));
    EXPECT_FALSE(store.stringForKey("k"));
    EXPECT_EQ(store.dataForKey("k"), bytes("\xC3\x28"));
}

TEST_F(KeychainWrapperTest, TypedValuesRoundTripAsSingleValuePropertyLists) {
    using Limits = std::numeric_limits<std::int64_t>;
    for (const std::int64_t n :
         {std::int64_t{42}, std::int64_t{0}, std::int64_t{-5}, Limits::min(), Limits::max()}) {
        ASSERT_TRUE(store.setInteger(n, "n"));
        EXPECT_EQ(store.integerForKey("n"), n);
        EXPECT_EQ(store.boolForKey("n"), n != 0);
        EXPECT_EQ(store.doubleForKey("n"), static_cast<double>(n));
    }
    const auto stored = store.dataForKey("n");
    ASSERT_TRUE(stored);
    EXPECT_EQ(std::string(stored->begin(), stored->begin() + 8), "bplist00");

    const struct {
        double value;
        std::optional<std::int64_t> integer;
        bool boolean;
    } doubles[] = {
        {3.75, 3, true},
        {-2.5, -2, true},
        {0.0, 0, false},
        {1e30, std::nullopt, true},
        {-9.3e18, std::nullopt, true},
    };
    for (const auto& d : doubles) {
        SCOPED_TRACE(d.value);
        ASSERT_TRUE(store.setDouble(d.value, "d"));
        EXPECT_EQ(store.doubleForKey("d"), d.value);
        EXPECT_EQ(store.integerForKey("d"), d.integer);
        EXPECT_EQ(store.boolForKey("d"), d.boolean);
    }
    ASSERT_TRUE(store.setDouble(std::nan(""), "d"));
    EXPECT_TRUE(std::isnan(store.doubleForKey("d").value_or(0)));
    EXPECT_FALSE(store.integerForKey("d"));

    ASSERT_TRUE(store.setFloat(0.1f, "f"));
    EXPECT_EQ(store.floatForKey("f"), 0.1f);
    ASSERT_TRUE(store.setBool(true, "b"));
    EXPECT_EQ(store.boolForKey("b"), true);
    EXPECT_EQ(store.integerForKey("b"), 1);
    ASSERT_TRUE(store.setBool(false, "b"));
    EXPECT_EQ(store.boolForKey("b"), false);

    ASSERT_TRUE(store.setObject(std::string("caf\xC3\xA9"), "o"));
    EXPECT_EQ(store.objectForKey("o"), m2::platform::PropertyValue(std::string("caf\xC3\xA9")));
    EXPECT_FALSE(store.integerForKey("o"));  // a text is not a number

    // Items that hold no property list, or one that is cut short, read as absent.
    ASSERT_TRUE(store.setString("42", "s"));
    EXPECT_FALSE(store.integerForKey("s"));
    EXPECT_FALSE(store.objectForKey("s"));
    ASSERT_TRUE(store.setData(KeychainData(stored->begin(), stored->end() - 3), "cut"));
    EXPECT_FALSE(store.objectForKey("cut"));
    ASSERT_TRUE(store.setData({}, "empty"));
    EXPECT_FALSE(store.boolForKey("empty"));
    EXPECT_FALSE(store.integerForKey("never set"));

    // A text the list would cut at a NUL, or that is not UTF-8, is refused.
    fake->calls.clear();
    EXPECT_FALSE(store.setObject(std::string("a\0b", 3), "o"));
    EXPECT_FALSE(store.setObject(std::string("\xFF"), "o"));
    EXPECT_TRUE(fake->calls.empty());
}

TEST_F(KeychainWrapperTest, FailuresGiveAbsentAndFalse) {
    ASSERT_TRUE(store.setString("v", "k"));
    for (const auto status :
         {m2::platform::keychainNotAvailable, m2::platform::keychainAuthFailed}) {
        fake->failWith = status;
        EXPECT_FALSE(store.setString("w", "k"));
        EXPECT_FALSE(store.stringForKey("k"));
        EXPECT_FALSE(store.dataRefForKey("k"));
        EXPECT_FALSE(store.removeObjectForKey("k"));
        EXPECT_FALSE(store.removeAllKeys());
    }
    // An option value outside its enumeration has no constant: nothing is asked.
    fake->failWith = m2::platform::keychainSuccess;
    fake->calls.clear();
    const KeychainItemOptions bad{static_cast<KeychainItemClass>(9)};
    EXPECT_FALSE(store.setString("v", "k", bad));
    EXPECT_FALSE(store.dataForKey("k", bad));
    EXPECT_TRUE(fake->calls.empty());
}

TEST_F(KeychainWrapperTest, RemoveAllKeysAndWipeAskForTheRightItems) {
    ASSERT_TRUE(grouped.setString("a", "k1"));
    ASSERT_TRUE(grouped.setString("b", "k2"));
    KeychainWrapper other("other", std::nullopt, fake);
    ASSERT_TRUE(other.setString("c", "k1"));

    EXPECT_TRUE(grouped.removeAllKeys());
    const auto& query = fake->calls.back().query;
    EXPECT_EQ(query.itemClass, "genericPassword");
    EXPECT_EQ(query.service, "svc");
    EXPECT_EQ(query.accessGroup, "group");
    EXPECT_FALSE(query.account.has_value());
    EXPECT_EQ(other.stringForKey("k1"), "c");

    fake->calls.clear();
    KeychainWrapper::wipeKeychain(fake);
    ASSERT_EQ(fake->calls.size(), 5u);
    const char* order[] = {"genericPassword", "internetPassword", "certificate", "key", "identity"};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(fake->calls[i].operation, "remove");
        EXPECT_EQ(fake->calls[i].query.itemClass, order[i]);
        EXPECT_FALSE(fake->calls[i].query.service.has_value());
    }
    EXPECT_TRUE(fake->items.empty());
}

TEST(KeychainWrapperDefault, SharedWrapperFollowsTheClassSetters) {
    const KeychainWrapper before = KeychainWrapper::defaultKeychainWrapper();
    EXPECT_EQ(before.serviceName(), KeychainWrapper::defaultServiceName());
    EXPECT_FALSE(before.accessGroup().has_value());

    KeychainWrapper::setDefaultServiceName("changed");
    KeychainWrapper::setDefaultAccessGroup("g");
    const KeychainWrapper after = KeychainWrapper::defaultKeychainWrapper();
    EXPECT_EQ(after.serviceName(), "changed");
    EXPECT_EQ(after.accessGroup(), "g");
    EXPECT_EQ(before.serviceName(), KeychainWrapper::defaultServiceName());  // copies stay
}

}  // namespace
