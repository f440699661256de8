#include <gtest/gtest.h>

#include <string>

#include "Sealkit/SealkitFacade.h"

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

}  // namespace
