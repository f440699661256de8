#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/services/CommonPasswords.h"
#include "app/services/PasswordStrength.h"

using m2::passwordStrength;
using m2::PasswordStrengthValue;

namespace {

std::string repeat(std::string_view piece, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) {
        s += piece;
    }
    return s;
}

TEST(PasswordStrength, RatesByLengthAndClasses) {
    using V = PasswordStrengthValue;
    const struct {
        std::string password;
        V value;
        std::string_view label;
    } cases[] = {
        {"", V::toShort, "Empty"},
        {"q", V::toShort, "Too Short"},
        {"qzX9$", V::toShort, "Too Short"},
        {repeat("e\xCC\x81", 5), V::toShort, "Too Short"},  // 5 characters, 10 scalars
        {"qzxjvw", V::veryWeak, "Very Weak"},
        {"Q9$z%\xE2\x82\xAC", V::veryWeak, "Very Weak"},  // six characters always start at -100
        {repeat("e\xCC\x81", 7), V::veryWeak, "Very Weak"},
        // Worked examples: 7 and 10 lower-case letters, 4 lower + 2 capitals + 2 digits,
        // 20 digits, 8 lower + 3 capitals + 3 digits + 2 symbols, 10 exclamation marks.
        {"qzxjvwk", V::veryWeak, "Very Weak"},
        {"qzxjvwkpmr", V::Weak, "Weak"},
        {"qzxjQV47", V::Fair, "Fair"},
        {"93817264509182736450", V::Good, "Good"},
        {"qzxjvwkpQVX478$+", V::Strong, "Strong"},
        {"!!!!!!!!!!", V::Weak, "Weak"},
        // Band edges with lower-case letters only (score = length + 1).
        {repeat("q", 8), V::veryWeak, "Very Weak"},
        {repeat("q", 9), V::Weak, "Weak"},
        {repeat("q", 18), V::Weak, "Weak"},
        {repeat("q", 19), V::Fair, "Fair"},
        {repeat("q", 28), V::Fair, "Fair"},
        {repeat("q", 29), V::Good, "Good"},
        {repeat("q", 38), V::Good, "Good"},
        {repeat("q", 39), V::Strong, "Strong"},
        // Symbols are the symbol categories only: spaces, @ # % & * ? - _ count nowhere.
        {"@#%&*?-_ @", V::Weak, "Weak"},
        {"$+=^|~<>`$", V::Fair, "Fair"},  // 10 + 5 + 5
        // Common passwords, and the same texts changed slightly.
        {"123456", V::Common, "Common"},
        {"password", V::Common, "Common"},
        {"Tigger", V::Common, "Common"},
        {"asdfjkl\xCD\xBE", V::Common, "Common"},  // Greek question mark is canonically ";"
        {"Password", V::Weak, "Weak"},
        {"tiGger", V::veryWeak, "Very Weak"},
        {"password ", V::Weak, "Weak"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.password);
        const auto rating = passwordStrength(c.password);
        EXPECT_EQ(rating.value, c.value);
        EXPECT_EQ(rating.label, c.label);
    }
}

TEST(PasswordStrength, ValuesImagesAndAdvice) {
    for (int raw : {0, 8, -1}) {
        EXPECT_FALSE(m2::passwordStrengthValue(raw)) << raw;
    }
    EXPECT_EQ(m2::passwordStrengthValue(7), PasswordStrengthValue::Common);
    EXPECT_EQ(m2::passwordStrengthValue(1), PasswordStrengthValue::toShort);
    EXPECT_EQ(m2::hashValue(PasswordStrengthValue::toShort), 0u);
    EXPECT_EQ(m2::hashValue(PasswordStrengthValue::Common), 6u);

    const char* images[] = {"signal-1", "signal-1", "signal-2",     "signal-3",
                            "signal-4", "signal-5", "signal-common"};
    for (int raw = 1; raw <= 7; ++raw) {
        EXPECT_EQ(m2::image(*m2::passwordStrengthValue(raw)), images[raw - 1]);
    }
    EXPECT_EQ(m2::details(PasswordStrengthValue::Good),
              "Your password is good enough to safely gaurd your sensitive information");
    EXPECT_EQ(m2::details(PasswordStrengthValue::Common),
              "Your password is very commonly used. It would be cracked almost instantly");
}

TEST(CommonPasswords, FiveHundredDistinctEntriesMostCommonFirst) {
    const auto& list = m2::commonPasswords();
    EXPECT_EQ(std::set<std::string_view>(list.begin(), list.end()).size(), 500u);
    EXPECT_EQ(list.front(), "123456");
    EXPECT_EQ(list[2], "password");
}

}  // namespace
