#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Base64.h"

namespace {

TEST(Base64, Rfc4648Vectors) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : cases) {
        const std::vector<std::uint8_t> bytes(plain.begin(), plain.end());
        EXPECT_EQ(m2::platform::base64Encode(bytes), encoded) << plain;
    }
    // Every index of the alphabet, including the two last characters, and no line breaks.
    const std::vector<std::uint8_t> high(60, 0xFF);
    EXPECT_EQ(m2::platform::base64Encode(high), std::string(80, '/'));
    const std::vector<std::uint8_t> ramp{0x00, 0x10, 0x83, 0x10, 0x51, 0x87, 0xFB, 0xEF, 0xBE};
    EXPECT_EQ(m2::platform::base64Encode(ramp), "ABCDEFGH++++");
}

}  // namespace
