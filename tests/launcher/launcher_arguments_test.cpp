#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "M2 Launcher/AppDelegate.h"
#include "M2 Launcher/LauncherArguments.h"

using m2::LauncherArgument;
using m2::LauncherRequest;
using m2::parseLauncherArguments;
using Morvane::Security::Secret;

namespace {

TEST(LauncherArguments, EntriesHoldingADocumentAreReadInEitherForm) {
    const std::optional<std::string> pipe = "pa,ss \"$x\" `y` \xC3\xBC";
    const struct {
        std::vector<std::string> arguments;
        std::optional<std::string> input;  // what standard input offers; none: not a pipe
        std::vector<LauncherArgument> expected;
    } cases[] = {
        {{"launcher"}, pipe, {}},
        {{"launcher", "-psn", "notes.txt"}, pipe, {}},
        // The main program's form: the path before ",-,hint", commas and all.
        {{"launcher", "/d/a,b \"c\".m2p,-,hint"},
         pipe,
         {LauncherRequest{"/d/a,b \"c\".m2p", Secret(*pipe), "hint"}}},
        {{"launcher", "/d/a.m2p,-,hint"}, std::string(), {std::nullopt}},  // empty password
        // Not a pipe: the three-piece form, so "-" is the password.
        {{"launcher", "/d/a.m2p,-,hint"},
         std::nullopt,
         {LauncherRequest{"/d/a.m2p", Secret("-"), "hint"}}},
        {{"launcher", "/d/a.m2p,secret,my hint"},
         pipe,
         {LauncherRequest{"/d/a.m2p", Secret("secret"), "my hint"}}},
        {{"launcher", ",/d/a.m2p,,secret,hint,"},
         pipe,
         {LauncherRequest{"/d/a.m2p", Secret("secret"), "hint"}}},
        {{"launcher", "/d/a.m2p,,hint"}, pipe, {std::nullopt}},
        {{"launcher", "/d/a,b.m2p,secret,hint"}, pipe, {std::nullopt}},
        {{"launcher", "/d/a.m2p"}, pipe, {std::nullopt}},
        {{"launcher", ",-,hint.m2p"}, pipe, {std::nullopt}},
        // Only the first document counts; the case of the mark matters.
        {{"launcher", "/d/a.m2p,s,h", "/d/b.m2p,s,h", "/d/c.M2P,s,h"},
         pipe,
         {LauncherRequest{"/d/a.m2p", Secret("s"), "h"}, std::nullopt}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        int reads = 0;
        const auto read = [&]() -> std::optional<Secret> {
            ++reads;
            if (!c.input) {
                return std::nullopt;
            }
            return Secret(*c.input);
        };
        EXPECT_EQ(parseLauncherArguments(c.arguments, read), c.expected);
        EXPECT_LE(reads, 1) << "standard input is read once at most";
    }
}

TEST(LauncherArguments, TheShellTakesDocumentsWithoutOpeningThem) {
    EXPECT_TRUE(m2::AppDelegate::applicationOpenFile("/d/report.txt.m2p"));
    EXPECT_FALSE(m2::AppDelegate::applicationOpenFile("/d/report.txt"));
    EXPECT_FALSE(m2::AppDelegate::applicationOpenFile("/d/report.M2P"));
    EXPECT_TRUE(m2::AppDelegate::applicationShouldTerminateAfterLastWindowClosed());
}

}  // namespace
