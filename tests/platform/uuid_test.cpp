#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/Uuid.h"

namespace {

TEST(Uuid, UpperCaseGroupsAndFresh) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const std::string text = m2::platform::newUuidString();
        ASSERT_EQ(text.size(), 36u);
        for (std::size_t p = 0; p < text.size(); ++p) {
            if (p == 8 || p == 13 || p == 18 || p == 23) {
                EXPECT_EQ(text[p], '-') << text;
            } else {
                EXPECT_TRUE((text[p] >= '0' && text[p] <= '9') ||
                            (text[p] >= 'A' && text[p] <= 'F'))
                    << text;
            }
        }
        EXPECT_TRUE(seen.insert(text).second) << "repeated " << text;
    }
}

}  // namespace
