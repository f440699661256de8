#include <gtest/gtest.h>

#include "platform/PropertyList.h"

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

}  // namespace
