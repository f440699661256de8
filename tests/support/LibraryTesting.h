#pragma once

#include <string>
#include <vector>

#include "app/library/FileItem.h"
#include "app/library/FolderItem.h"
#include "app/library/LibraryManager.h"
#include "app/library/MainViewServices.h"
#include "platform/Dispatch.h"
#include "support/ScopedDocuments.h"
#include "support/ScriptedAlertPresenter.h"
#include "support/ScriptedOpenPanel.h"

namespace m2::test {

// The file names of a list of entries, in order.
[[nodiscard]] std::vector<std::string> namesOf(const std::vector<FileItemPtr>& list);

// Adds a user folder `name` under Documents to `seed`, whose folders are already set up.
FolderItemPtr addDocumentsFolder(LibraryManager& seed, const std::string& name);

// A main view that records what the library asked of it: "show <text>", "stop", "status".
class RecordingMainView final : public MainViewServices {
  public:
    std::vector<std::string> calls;
    CurrentProcess state = CurrentProcess::idel;

    [[nodiscard]] CurrentProcess currentState() const override { return state; }
    void setCurrentState(CurrentProcess next) override { state = next; }
    void showProgress(const std::string& text) override { calls.push_back("show " + text); }
    void stopProgress() override { calls.emplace_back("stop"); }
    void updateStatus() override { calls.emplace_back("status"); }
};

// What the library tests stand on: a scratch Documents folder, scripted alerts and open
// panel, a hand-drained main queue and a recording main view. Inherit it first, so it is in
// place before the models load.
struct LibraryHarness {
    ScopedDocuments docs;
    ScopedScriptedAlerts alerts;
    ScopedScriptedOpenPanel panel;
    platform::ScopedManualMainQueue mainQueue;
    RecordingMainView mainView;
    ScopedMainView registered{mainView};
};

// Waits (up to ten seconds) until a worker has posted work to the hand-drained main queue,
// without running it; answers how many items are waiting.
std::size_t waitForMainQueueWork(platform::ManualMainQueue& queue);

}  // namespace m2::test
