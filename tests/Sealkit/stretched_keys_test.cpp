#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Sealkit/FileHeader/Convertor.h"
#include "Sealkit/Hash/MD5.h"
#include "Sealkit/Hash/sha2.h"
#include "support/CommandOutput.h"
#include "support/HashReference.h"
#include "support/HexText.h"

using namespace Morvane::Security;

namespace {

struct Row {
    std::string password, md5, md5Stretched, sha256, sha256Stretched;
};

// The table tests/tools/stretched_keys.py writes from the keys' definitions.
std::vector<Row> referenceTable() {
    std::ifstream in(M2_FIXTURES "/stretched_keys.txt");
    std::vector<Row> rows;
    std::string passwordHex;
    Row row;
    while (in >> passwordHex >> row.md5 >> row.md5Stretched >> row.sha256 >> row.sha256Stretched) {
        if (passwordHex == "-") {
            passwordHex.clear();
        }
        row.password.assign(passwordHex.size() / 2, '\0');
        EXPECT_TRUE(Morvane::Utils::Convertor::HexAsciiToBinary(
            passwordHex.data(), reinterpret_cast<unsigned char*>(row.password.data()),
            passwordHex.size()));
        rows.push_back(row);
    }
    return rows;
}

TEST(StretchedKeys, MatchTheReferenceTable) {
    const auto rows = referenceTable();
    ASSERT_GE(rows.size(), 8u);
    m2test::forEachSha256Backend([&](const char* backend) {
        SCOPED_TRACE(backend);
        for (const auto& row : rows) {
            SCOPED_TRACE(row.password);
            // The MD5-variant key reads the password as a zero-terminated text.
            MD5 md5(row.password.c_str());
            EXPECT_EQ(m2test::lowerHex(md5.getDigestRaw(), 16), row.md5);
            md5.StretchKey();
            EXPECT_EQ(m2test::lowerHex(md5.getDigestRaw(), 16), row.md5Stretched);

            sha2 sha(reinterpret_cast<const unsigned char*>(row.password.data()),
                     static_cast<int>(row.password.size()));
            EXPECT_EQ(sha.StringHash(), row.sha256);
            sha.StretchKey();
            EXPECT_EQ(m2test::lowerHex(sha.getDigestRaw(), 32), row.sha256Stretched);
            EXPECT_EQ(sha.StringHash(), row.sha256Stretched);
        }
    });
}

// The committed table must be what the reference script prints today.
TEST(StretchedKeys, ReferenceScriptReproducesTheTable) {
    int status = 0;
    m2test::commandOutput("/usr/bin/python3 '" M2_SOURCE_DIR
                          "/tests/tools/stretched_keys.py' --check '" M2_FIXTURES
                          "/stretched_keys.txt'",
                          &status);
    EXPECT_EQ(status, 0);
}

}  // namespace
