#include <gtest/gtest.h>

#include <string>

#include "Sealkit/SealkitFacade.h"
#include "support/EngineFiles.h"

namespace {

TEST(FacadeOutcome, TextIsStatusMessageAndPath) {
    const struct {
        SealkitOutcome outcome;
        const char* text;
    } cases[] = {
        {{SealkitOutcome::Status::ok, "OK", "/d/a.txt.m2p", 0}, "ok,OK,/d/a.txt.m2p"},
        {{SealkitOutcome::Status::fail, "", "/d/a", -22}, "fail,,/d/a"},
        {{SealkitOutcome::Status::fail, "Failed to decrypt file, Header could not be removed",
          "/d/a.m2p.cdf", -26},
         "fail,Failed to decrypt file, Header could not be removed,/d/a.m2p.cdf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.outcome.text(), c.text);
    }
}

TEST(FacadeKeyfileAndShredder, ForwardToTheEngine) {
    m2test::ScratchDir dir;
    m2test::writeBytes(dir / "short", "too short");
    EXPECT_EQ(Keyfile().createKey(dir / "short"), "Error, could not create keyfile");

    m2test::writeBytes(dir / "key", std::string(2048, '\0'));
    // SHA-256 of 2048 zero bytes.
    EXPECT_EQ(Keyfile().createKey(dir / "key"),
              "e5a00aa9991ac8a5ee3109844d84a55583bd20572ad3ffcd42792f3c36b183ad");

    EXPECT_TRUE(Shredder().shredFile(dir / "key"));
    EXPECT_FALSE(m2test::pathExists(dir / "key"));
    EXPECT_FALSE(Shredder().shredFile(dir / "key"));
}

}  // namespace
