#include <gtest/gtest.h>

#include <string>

#include "platform/Text.h"

using m2::platform::lowercased;

namespace {

TEST(TextLowercase, MapsUnicodeLettersAndKeepsEverythingElse) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"", ""},
        {"Report.PDF", "report.pdf"},
        {"ÄRGER Über", "ärger über"},
        {"ΣΟΦΙΑ", "σοφια"},                // no final-sigma rule: a fixed mapping
        {"İstanbul", "i\xCC\x87stanbul"},  // grows by one byte
        {"ДОКУМЕНТ", "документ"},
        {"日本語.TXT", "日本語.txt"},
        {"tab\tCR\rNUL", std::string("tab\tcr\rnul")},
        {std::string("A\0B", 3), std::string("a\0b", 3)},
        // Not UTF-8: only ASCII letters change, the stray bytes stay as they are.
        {"Bad\xFF\xFEName", "bad\xFF\xFEname"},
        {"\xC3", "\xC3"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lowercased(c.in), c.out) << c.in;
    }
}

}  // namespace
