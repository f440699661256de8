#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Sealkit/MorvaneResult.h"

using Morvane::Security::CMorvaneResult;

namespace {

TEST(MorvaneResult, EveryFixedCodeHasItsExactText) {
    const struct {
        int code;
        const char* text;
    } table[] = {
        {1, "Empty Input"},
        {0, "OK"},
        {-1, "File read error"},
        {-2, ""},
        {-3, "File already encrypted"},
        {-4, "File not encrypted"},
        {-5, "Password incorrect "},
        {-6, "File empty"},
        {-7, "System file"},
        {-8, "File already exists"},
        {-9, ""},
        {-10, "File does not exists"},
        {-11, ""},
        {-12, "Destination device is read only"},
        {-13, ""},
        {-14, "File already exists and has been renamed to <filename>_(number).extension"},
        {-15, "Failed to encrypt file."},
        {-16, "Failed to decrypt file."},
        {-17, "Access Denied. You do not have write access for this directory "},
        {-18, ""},
        {-19, "Hard disk is full"},
        {-20, "File locked by other process"},
        {-21,
         "File was encrypted with a newer version of Morvane 2 Riravevovavi. Please use the "
         "latest version of Morvane 2 Riravevovavi"},
        {-22, ""},
        {-23, "Could not destory file"},
        {-24, "Could not destory folder"},
        {-25, "Failed to encrypt file, Header could not be created"},
        {-26, "Failed to decrypt file, Header could not be removed"},
        {-27, "Could not move file to your USB Drive"},
        {-28,
         "Failed to decrypt file. Filepath too long, try renaming or moving the file then try "
         "again. "},
        {-29, "Failed to decrypt file. Decrypted contents corrupted"},
        {-30, "File does not exist. Please check your file exists and try again."},
        {2, ""},
        {-31, ""},
        {-49, ""},
        {-100, ""},
        {-149, ""},
    };
    for (const auto& row : table) {
        EXPECT_EQ(CMorvaneResult::getStringResult(row.code), row.text) << row.code;
    }
}

TEST(MorvaneResult, SystemErrorsNeverLandOnEngineCodes) {
    const struct {
        int errnum, code;
    } table[] = {
        {ENOENT, -98}, {EACCES, -87}, {49, -51}, {50, -150}, {100, -200}, {0, -95}, {-3, -95},
    };
    for (const auto& row : table) {
        EXPECT_EQ(CMorvaneResult::systemErrorCode(row.errnum), row.code) << row.errnum;
    }
    // Every error number the platform knows maps outside the engine's -30 to 1.
    for (int e = 1; e < 200; ++e) {
        const int code = CMorvaneResult::systemErrorCode(e);
        EXPECT_LE(code, -50) << e;
        EXPECT_EQ(CMorvaneResult::getStringResult(code), std::strerror(e)) << e;
    }
}

TEST(MorvaneResult, SystemCodesReadAsTheSystemText) {
    EXPECT_EQ(CMorvaneResult::getStringResult(-98), std::strerror(2));
    EXPECT_EQ(CMorvaneResult::getStringResult(-50), std::strerror(50));
    EXPECT_EQ(CMorvaneResult::getStringResult(-150), std::strerror(50));
    EXPECT_EQ(CMorvaneResult::getStringResult(-100 - ENETDOWN), std::strerror(ENETDOWN));
}

TEST(MorvaneResult, ThreadsReadTheirOwnSystemTexts) {
    const int errs[] = {ENOENT, EACCES, ENOSPC, ENETDOWN};
    std::vector<std::string> expected;
    for (int e : errs) {
        expected.emplace_back(std::strerror(e));
    }
    std::vector<int> mismatches(std::size(errs), 0);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < std::size(errs); ++t) {
        threads.emplace_back([&, t] {
            const int code = CMorvaneResult::systemErrorCode(errs[t]);
            for (int i = 0; i < 2000; ++i) {
                mismatches[t] += CMorvaneResult::getStringResult(code) != expected[t];
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_EQ(mismatches, std::vector<int>(std::size(errs), 0));
}

}  // namespace
