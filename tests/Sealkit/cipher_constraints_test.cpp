#include <gtest/gtest.h>

#include "Sealkit/CipherConstraints.h"

using Morvane::Security::CCipherConstraints;

namespace {

struct Quad {
    int cipher, key, strength, version;
};

void expectQuad(const CCipherConstraints& c, Quad q) {
    EXPECT_EQ(c.getCipherType(), q.cipher);
    EXPECT_EQ(c.getKeyType(), q.key);
    EXPECT_EQ(c.getKeyStrength(), q.strength);
    EXPECT_EQ(c.getMorvaneVersion(), q.version);
}

TEST(CipherConstraints, ConstructorKeepsValidAndReplacesInvalid) {
    const struct {
        Quad given, expected;
    } cases[] = {
        {{0, 0, 16, 2}, {0, 0, 16, 2}},   {{1, 2, 32, 6}, {1, 2, 32, 6}},
        {{1, 2, 24, 6}, {1, 2, 32, 6}},   {{2, 2, 32, 6}, {1, 2, 32, 6}},
        {{1, 3, 32, 6}, {1, 2, 32, 6}},   {{-1, 2, 32, 6}, {1, 2, 32, 6}},
        {{1, 2, 32, 99}, {1, 2, 32, 99}}, {{1, -1, 128, 3}, {1, 2, 32, 6}},
        {{0, 1, 128, 1}, {0, 1, 128, 1}}, {{1, 2, 32, 0}, {1, 2, 32, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.given.cipher << "," << c.given.key << ","
                                        << c.given.strength << "," << c.given.version);
        expectQuad(
            CCipherConstraints(c.given.cipher, c.given.key, c.given.strength, c.given.version),
            c.expected);
    }
}

TEST(CipherConstraints, ValidateReportsReplacement) {
    CCipherConstraints valid(0, 1, 16, 1);
    EXPECT_FALSE(valid.validate());
    expectQuad(valid, {0, 1, 16, 1});

    CCipherConstraints c;
    c.setCipherType(0);
    c.setKeyType(1);
    c.setStrength(17);
    c.setVersion(1);
    c.setMode(5);
    c.setFileSize(42);
    EXPECT_TRUE(c.validate());
    expectQuad(c, {1, 2, 32, 6});
    EXPECT_EQ(c.getMode(), 5);
    EXPECT_EQ(c.getFileSize(), 42u);
}

TEST(CipherConstraints, DefaultsLengthsAndEquality) {
    expectQuad(CCipherConstraints(), {0, 0, 0, 0});

    CCipherConstraints c;
    const int lengths[] = {16, 28, 32, 0};
    for (int type = 0; type < 4; ++type) {
        c.setKeyType(type);
        EXPECT_EQ(c.getKeyLength(), lengths[type]) << type;
    }
    c.setCipherType(0);
    EXPECT_EQ(c.getBlockSize(), 8);
    c.setCipherType(1);
    EXPECT_EQ(c.getBlockSize(), 16);

    CCipherConstraints a(1, 2, 32, 6), b(1, 2, 32, 6);
    b.setMode(3);
    b.setFileSize(99);
    EXPECT_TRUE(a == b);  // mode and size are not compared
    b.setVersion(5);
    EXPECT_FALSE(a == b);
}

}  // namespace
