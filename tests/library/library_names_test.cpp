#include <gtest/gtest.h>

#include "app/library/LibraryManager.h"
#include "support/ScriptedAlertPresenter.h"

using m2::LibraryManager;
using m2::LibraryProcess;
using m2::LibraryResult;

namespace {

TEST(LibraryNames, CatalogueFileNames) {
    EXPECT_EQ(LibraryManager::folderViewFilename, "/Morvane/Morvane.m2f");
    EXPECT_EQ(LibraryManager::fileViewFilename, "/Morvane/Morvane.m2l");
    EXPECT_EQ(LibraryManager::noteFilename, "/Morvane/M2_SecureNotes.m2n");
    EXPECT_EQ(LibraryManager::noteFilenameOnly, "/M2_SecureNotes.m2n");
}

TEST(LibraryNames, AddFailureSummary) {
    using R = LibraryResult;
    const struct {
        LibraryProcess process;
        std::vector<LibraryResult> reasons;
        int failures;
        bool shown;
        std::string message, details;
    } cases[] = {
        {LibraryProcess::addLibraryFiles,
         {R::fileAlreadyExists, R::systemFile},
         2,
         true,
         "files could not be added to your library.",
         "1 files are already included within your library"},
        {LibraryProcess::addLibraryFiles,
         {R::systemFile},
         1,
         true,
         "file could not be added to your library.",
         ""},
        {LibraryProcess::addLibraryFiles,
         {R::fileAlreadyExists, R::fileAlreadyExists},
         1,
         true,
         "file could not be added to your library.",
         "2 file are already included within your library"},
        {LibraryProcess::addLibraryFiles,
         {},
         0,
         true,
         "file could not be added to your library.",
         ""},
        {LibraryProcess::addLibraryFiles,
         {R::ok, R::fileAlreadyExists, R::folderAlreadyExists},
         3,
         true,
         "files could not be added to your library.",
         "1 files are already included within your library"},
        {LibraryProcess::addLibraryFolder, {R::fileAlreadyExists}, 4, false, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message + " / " + std::to_string(c.failures));
        m2::test::ScopedScriptedAlerts alerts;
        LibraryManager::createAndShowFailureMessage(c.process, c.reasons, c.failures);
        const auto shown = alerts->shown();
        ASSERT_EQ(shown.size(), c.shown ? 1u : 0u);
        if (c.shown) {
            EXPECT_EQ(shown[0].message, c.message);
            EXPECT_EQ(shown[0].informativeText.value_or("<none>"), c.details);
            EXPECT_EQ(shown[0].buttons, std::vector<std::string>{"OK"});
        }
    }
}

}  // namespace
