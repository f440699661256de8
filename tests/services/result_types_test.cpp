#include <gtest/gtest.h>

#include <thread>

#include "Sealkit/SealkitFacade.h"
#include "app/services/CurrentProcess.h"
#include "app/services/ProcessReport.h"
#include "app/services/Result.h"
#include "app/services/SecurityResult.h"

using namespace m2;

namespace {

TEST(CurrentProcess, TextsOfEveryCase) {
    const struct {
        CurrentProcess process;
        const char *label, *icon, *busy;
    } cases[] = {
        {CurrentProcess::idel, "", "", ""},
        {CurrentProcess::refreshingCloud, "", "",
         "Morvane 2 is currently refreshing your Cloud files, please wait."},
        {CurrentProcess::shredding, "Shredding files...", "shred-32",
         "Morvane 2 is currently shredding files. Please wait until the current shred process "
         "has completed and try again"},
        {CurrentProcess::encrypting, "Encrypting files...", "lock-32",
         "Morvane 2 is currently encrypting files. Please wait until the current encryption "
         "process has completed and try again."},
        {CurrentProcess::decrypting, "Decrypting files...", "key-32",
         "Morvane 2 is currently decrypting files. Please wait until the current decryption "
         "process has completed and try again."},
        {CurrentProcess::addingFiles, "", "",
         "Morvane 2 is currently adding files to your library."},
        {CurrentProcess::changePassword, "Changing password", "", "Changing password"},
    };
    int index = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(static_cast<int>(c.process), index++);
        EXPECT_EQ(progressLabel(c.process), c.label);
        EXPECT_EQ(progressIcon(c.process), c.icon);
        EXPECT_EQ(asString(c.process), c.busy);
    }
}

TEST(SecurityResult, RawValuesOneToEightWithTheirMessages) {
    const struct {
        int raw;
        securityResult result;
        const char* text;
    } cases[] = {
        {1, securityResult::OK, "OK"},
        {2, securityResult::AlreadyEncrypted, "File is already encrypted"},
        {3, securityResult::NotEncrypted, "File is not encrypted"},
        {4, securityResult::CouldNotOpenFile, "Could not open encrypted file"},
        {5, securityResult::CouldNotShredFile, "Could not shred file"},
        {6, securityResult::CouldNotReencrypt, "Could not automatically re-encrypt files"},
        {7, securityResult::CouldNotCopyToTempLocation, "Could not copy file to temp location"},
        {8, securityResult::InvalidPassword, "Invalid Password"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rawValue(c.result), c.raw);
        EXPECT_EQ(securityResultFromRawValue(c.raw), c.result);
        EXPECT_EQ(asString(c.result), c.text);
    }
    for (const int raw : {0, 9, -1}) {
        EXPECT_FALSE(securityResultFromRawValue(raw).has_value()) << raw;
    }
}

TEST(Result, ParsedFromAResultText) {
    const struct {
        const char* text;
        bool status;
        const char *reason, *path, *id;
    } cases[] = {
        {"ok,Success,/d/a.m2p", true, "Success", "/d/a.m2p", "-"},
        {"OK,Success,/d/a.m2p,ID-1", true, "Success", "/d/a.m2p", "ID-1"},
        {"oK,Success,/d/a.m2p,ID-1", true, "Success", "/d/a.m2p", "ID-1"},
        {"fail,Password incorrect ,/d/a.m2p.cdf,ID-2", false, "Password incorrect ", "/d/a.m2p.cdf",
         "ID-2"},
        {"okay,Success,/d/a", false, "Success", "/d/a", "-"},
        // Five and more pieces: the id is not trusted.
        {"fail,Bad, really,/d/a,ID-3", false, "Bad", " really", "-"},
        {"ok,a,b,c,d,e,f", true, "a", "b", "-"},
        // Empty pieces are dropped, so an empty message shifts the rest.
        {"fail,,/d/a,ID-4", false, "/d/a", "ID-4", "-"},
        {",ok,,Success,,/d/a,", true, "Success", "/d/a", "-"},
        // Fewer than three pieces: an orderly failure.
        {"ok,Success", false, "Success", "", "-"},
        {"ok", false, "", "", "-"},
        {"", false, "", "", "-"},
        {",,,", false, "", "", "-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Result r(c.text);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.reason, c.reason);
        EXPECT_EQ(r.path, c.path);
        EXPECT_EQ(r.id, c.id);
    }
}

TEST(Result, FromSeparateFieldsKeepsCommasInPaths) {
    const Result r(true, "File already exists and has been renamed to Invoice 1,2_(1).pdf",
                   "/docs/Invoice 1,2_(1).pdf", "8F1C-ID");
    EXPECT_TRUE(r.status);
    EXPECT_EQ(r.path, "/docs/Invoice 1,2_(1).pdf");
    EXPECT_EQ(r.id, "8F1C-ID");
    const Result noId(false, "Password incorrect ", "/docs/a,b.m2p.cdf");
    EXPECT_EQ(noId.id, "-");
    EXPECT_EQ(Result().id, "-");

    SealkitOutcome outcome;
    outcome.status = SealkitOutcome::Status::ok;
    outcome.message = "File already exists and has been renamed to a,b_(copy 1).txt";
    outcome.path = "/docs//a,b_(copy 1).txt";
    const Result fromOutcome(outcome, "ID-9");
    EXPECT_TRUE(fromOutcome.status);
    EXPECT_EQ(fromOutcome.reason, outcome.message);
    EXPECT_EQ(fromOutcome.path, "/docs//a,b_(copy 1).txt");
    EXPECT_EQ(fromOutcome.id, "ID-9");
    EXPECT_FALSE(Result().status);
}

TEST(ProcessReport, LifecycleOfABatch) {
    ProcessReport report;
    EXPECT_EQ(report.currentProcess(), CurrentProcess::idel);
    EXPECT_TRUE(report.success().empty());
    EXPECT_TRUE(report.failure().empty());
    EXPECT_EQ(report.timeInterval(), 0);
    EXPECT_FALSE(report.canceled());

    report.setCurrentProcess(CurrentProcess::encrypting);
    report.startTimer();
    const auto started = report.startTime();
    report.success().emplace_back("ok,Success,/a.m2p,1");
    report.failure().emplace_back("fail,File already encrypted,/b.m2p,2");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    report.stopTimer();
    report.wasCanceled();
    EXPECT_GE(report.timeInterval(), 0.015);
    EXPECT_TRUE(report.canceled());

    report.reset();
    EXPECT_TRUE(report.success().empty());
    EXPECT_TRUE(report.failure().empty());
    EXPECT_EQ(report.timeInterval(), 0);
    EXPECT_FALSE(report.canceled());
    EXPECT_EQ(report.currentProcess(), CurrentProcess::encrypting);
    EXPECT_EQ(report.startTime(), started);
    // Without a new startTimer() the next stop measures from the old start.
    report.stopTimer();
    EXPECT_GE(report.timeInterval(), 0.015);
}

TEST(ProcessReport, ElapsedTimeIsNeverNegative) {
    ProcessReport report;
    // A start time in the future is what a wall clock stepping back looks like.
    report.setStartTime(ProcessReport::Clock::now() + std::chrono::hours(1));
    report.stopTimer();
    EXPECT_EQ(report.timeInterval(), 0);

    report.setStartTime(ProcessReport::Clock::now() - std::chrono::seconds(90));
    report.stopTimer();
    EXPECT_NEAR(report.timeInterval(), 90, 5);
}

TEST(ProcessedItem, StartsEmptyWithResultMinusOne) {
    const ProcessedItem item;
    EXPECT_EQ(item.orginalPath, "");
    EXPECT_EQ(item.newPath, "");
    EXPECT_EQ(item.result, -1);
}

}  // namespace
