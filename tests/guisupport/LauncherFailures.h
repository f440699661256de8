#pragma once

#include <QString>
#include <QtTest>

#include "support/RecordingWorkspace.h"

namespace m2::test {

// Data rows for the two ways handing a document to the launcher fails: "installed" (false:
// no launcher is found; true: it is found but does not start) and the "details" of the alert
// the user must be shown.
inline void addLauncherFailureRows() {
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("details");
    QTest::newRow("missing") << false << "Could not find M2Launcher.app";
    QTest::newRow("start fails") << true << "Could not start the launcher";
}

// Makes the workspace fail the way a row of addLauncherFailureRows() says.
inline void failLauncher(RecordingWorkspace& workspace, bool installed) {
    if (!installed) {
        workspace.setLauncher(std::nullopt);
    } else {
        workspace.setAnswers(false);
    }
}

}  // namespace m2::test
