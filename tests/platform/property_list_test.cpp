#include <gtest/gtest.h>

#include "platform/PropertyList.h"
#include "support/HandWrittenPlist.h"

using m2::platform::PropertyList;
using m2::platform::PropertyValue;

namespace {

TEST(PropertyList, OnlyADictionaryAtTheTopParses) {
    const char* rejected[] = {
        "",
        "not a property list",
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>a</string></array></plist>",
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key><str",
    };
    for (const char* text : rejected) {
        EXPECT_FALSE(PropertyList::parse(text).has_value()) << text;
    }
    const auto list = PropertyList::parse(
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key><integer>-7</integer>"
        "<key>d</key><date>2020-01-02T03:04:05Z</date></dict></plist>");
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->value("a"), PropertyValue(std::int64_t{-7}));
    EXPECT_TRUE(list->contains("d"));
    EXPECT_FALSE(list->value("d").has_value()) << "a date is kept but not exposed";
}

TEST(PropertyList, SetReplacesOneKeyAndCopiesAreIndependent) {
    PropertyList list;
    list.set("k", true);
    list.set("k", std::string("text"));
    list.set("other", 2.5);
    PropertyList copy = list;
    copy.remove("other");
    copy.remove("absent");

    EXPECT_EQ(list.keys(), (std::vector<std::string>{"k", "other"}));
    EXPECT_EQ(copy.keys(), std::vector<std::string>{"k"});
    const auto back = PropertyList::parse(list.toXml());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->value("k"), PropertyValue(std::string("text")));
    EXPECT_EQ(back->value("other"), PropertyValue(2.5));
}

// Texts and keys holding a zero byte are never read through libplist's getters that abort
// on one, nor copied (a copy loses the bytes but keeps the length): such an entry reads as
// missing, and a single value holding one as absent. Of a key given twice the last value is
// read, as a reread of the saved XML gives it.
TEST(PropertyList, ZeroBytesAndRepeatedKeysReadTheSameBeforeAndAfterASave) {
    using m2::test::PlistObject;
    const std::string nul(1, '\0');
    const auto list = PropertyList::parse(m2::test::binaryPlist({
        {PlistObject::utf16("k" + nul + "z"), PlistObject::ascii("v")},
        {PlistObject::ascii("text"), PlistObject::utf16("x" + nul + "y")},
        {PlistObject::ascii("twice"), PlistObject::integer(1)},
        {PlistObject::ascii("twice"), PlistObject::integer(2)},
    }));
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->keys(), std::vector<std::string>{"twice"});
    EXPECT_FALSE(list->contains("text"));
    EXPECT_EQ(list->value("twice"), PropertyValue(std::int64_t{2}));
    const auto saved = PropertyList::parse(list->toXml());
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->value("twice"), PropertyValue(std::int64_t{2}));

    EXPECT_FALSE(m2::platform::parseSingleValuePropertyList(
                     m2::test::binarySingleValuePlist(PlistObject::utf16("a" + nul + "b")))
                     .has_value());
    EXPECT_EQ(m2::platform::parseSingleValuePropertyList(
                  m2::test::binarySingleValuePlist(PlistObject::ascii("ab"))),
              PropertyValue(std::string("ab")));
}

}  // namespace
