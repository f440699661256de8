#include <gtest/gtest.h>

#include "app/services/Alerts.h"
#include "support/ScriptedAlertPresenter.h"

using m2::platform::AlertStyle;

namespace {

TEST(Alerts, EachFunctionShowsItsStyleTextsAndButtons) {
    m2::test::ScopedScriptedAlerts alerts;
    m2::warningAlert("Could not add file");
    m2::warningAlert("", "");
    (void)m2::yesNoAlert("Remove?", "The file stays on disk.");
    (void)m2::yesNoAlert("Keep the text?", "", m2::DefaultAnswer::yes);

    const auto shown = alerts->shown();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].style, AlertStyle::warning);
    EXPECT_EQ(shown[0].message, "Could not add file");
    EXPECT_FALSE(shown[0].informativeText.has_value());
    EXPECT_EQ(shown[0].buttons, std::vector<std::string>{"OK"});

    EXPECT_EQ(shown[1].message, "");
    EXPECT_EQ(shown[1].informativeText, std::optional<std::string>(""));
    EXPECT_EQ(shown[1].buttons, std::vector<std::string>{"OK"});

    EXPECT_EQ(shown[2].style, AlertStyle::informational);
    EXPECT_EQ(shown[2].informativeText, std::optional<std::string>("The file stays on disk."));
    EXPECT_EQ(shown[2].buttons, (std::vector<std::string>{"Yes", "No"}));

    // Return presses "OK", and "No" unless the question names "Yes".
    EXPECT_EQ(shown[0].defaultButton, 0u);
    EXPECT_EQ(shown[2].defaultButton, 1u);
    EXPECT_EQ(shown[3].buttons, (std::vector<std::string>{"Yes", "No"}));
    EXPECT_EQ(shown[3].defaultButton, 0u);
}

TEST(Alerts, YesNoIsTrueOnlyForTheFirstButton) {
    m2::test::ScopedScriptedAlerts alerts;
    for (const auto& [answer, expected] : {std::pair{0, true}, {1, false}, {-1, false}}) {
        alerts->queueAnswer(answer);
        EXPECT_EQ(m2::yesNoAlert("Continue?", ""), expected) << "button " << answer;
    }
}

TEST(Alerts, WithoutPresenterTextsGoToStandardOutputAndAnswerIsNo) {
    testing::internal::CaptureStdout();
    m2::warningAlert("Disk full", "Free some space and try again.");
    const bool answer = m2::yesNoAlert("Shred?", "This cannot be undone.");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(answer);
    EXPECT_EQ(out, "Disk full\nFree some space and try again.\nShred?\nThis cannot be undone.\n");
}

}  // namespace

// The window tests rely on the scripted presenter's strict use to catch stray alerts.
TEST(Alerts, StrictScriptAnswersExpectedAlertsAndReportsEveryOther) {
    m2::test::ScopedScriptedAlerts alerts;
    std::vector<std::string> reported;
    alerts->setProblemHandler([&](const std::string& problem) { reported.push_back(problem); });
    alerts->expect("Remove?", "a.txt", 0);
    alerts->expect("Could not add file", std::nullopt, 0);  // any details
    alerts->expect("Never shown", std::nullopt, 0);

    EXPECT_TRUE(m2::yesNoAlert("Remove?", "a.txt"));
    m2::warningAlert("Could not add file", "whatever the details");
    // Shown where another was expected: reported, answered with the last button ("No").
    EXPECT_FALSE(m2::yesNoAlert("Shred?", "b.txt"));
    // Nothing left to expect.
    m2::warningAlert("Extra");

    const std::vector<std::string> expected{
        "alert \"Shred?\" / \"b.txt\" where \"Never shown\" was expected",
        "unexpected alert \"Extra\""};
    EXPECT_EQ(alerts->problems(), expected);
    EXPECT_EQ(reported, expected);
    EXPECT_TRUE(alerts->unmetExpectations().empty());

    alerts->expect("Later", "x", 0);
    EXPECT_EQ(alerts->unmetExpectations(),
              std::vector<std::string>{"expected alert \"Later\" / \"x\" never came"});
}
