#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Text.h"

using namespace m2::platform;

namespace {

TEST(Text, Utf8WellFormedness) {
    const struct {
        const char* bytes;
        bool valid;
    } cases[] = {
        {"", true},
        {"plain", true},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", true},
        {"\xC3", false},              // truncated
        {"\xC0\x80", false},          // overlong NUL
        {"\xED\xA0\x80", false},      // UTF-16 surrogate
        {"\xF4\x90\x80\x80", false},  // past U+10FFFF
        {"\xFF", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(isValidUtf8(c.bytes), c.valid);
    }
    EXPECT_TRUE(isValidUtf8(std::string("a\0b", 3)));
}

TEST(Text, GraphemesAreUserPerceivedCharacters) {
    const struct {
        const char* text;
        std::size_t count;
    } cases[] = {
        {"", 0},
        {"abc", 3},
        {"e\xCC\x81", 1},  // e + combining acute
        {"\xC3\xA9", 1},   // precomposed
        {"\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7", 1},  // ZWJ
        {"\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA", 1},  // flag: two indicators
        {"\r\n", 1},
        {"a\xFF"
         "b",
         3},  // ill-formed byte: one
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(graphemeCount(c.text), c.count);
    }
}

TEST(Text, CanonicalEquality) {
    EXPECT_TRUE(canonicallyEqual("caf\xC3\xA9", "cafe\xCC\x81"));
    EXPECT_TRUE(canonicallyEqual("\xC3\x85", "\xE2\x84\xAB"));  // A-ring and the angstrom sign
    EXPECT_TRUE(canonicallyEqual("", ""));
    EXPECT_FALSE(canonicallyEqual("abc", "abC"));
    EXPECT_FALSE(canonicallyEqual("abc", "abc "));
    EXPECT_FALSE(canonicallyEqual("\xEF\xAC\x81", "fi"));  // compatibility only: not equal
    EXPECT_FALSE(canonicallyEqual("\xFF", "\xFE"));        // both would decode to U+FFFD
    EXPECT_TRUE(canonicallyEqual("\xFF", "\xFF"));
}

TEST(Text, ScalarsAndTheirClasses) {
    std::vector<char32_t> seen;
    forEachScalar("a\xC3\xA9\xF0\x9F\x98\x80\xFF", [&](char32_t c) { seen.push_back(c); });
    EXPECT_EQ(seen, (std::vector<char32_t>{U'a', U'\u00E9', U'\U0001F600', U'\uFFFD'}));

    const struct {
        char32_t scalar;
        CharacterClass expected;
    } cases[] = {
        {U'a', CharacterClass::lowercase},    {U'\u00DF', CharacterClass::lowercase},
        {U'7', CharacterClass::decimalDigit}, {U'\u0663', CharacterClass::decimalDigit},
        {U'Q', CharacterClass::uppercase},    {U'\u01C5', CharacterClass::uppercase},
        {U'$', CharacterClass::symbol},       {U'+', CharacterClass::symbol},
        {U'^', CharacterClass::symbol},       {U'\u00A9', CharacterClass::symbol},
        {U'`', CharacterClass::symbol},       {U'~', CharacterClass::symbol},
        {U'!', CharacterClass::other},        {U'@', CharacterClass::other},
        {U' ', CharacterClass::other},        {U'_', CharacterClass::other},
        {U'\u00B2', CharacterClass::other},   {U'\u4E2D', CharacterClass::other},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<unsigned>(c.scalar));
        EXPECT_EQ(characterClassOf(c.scalar), c.expected);
    }
}

}  // namespace
