#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "M2 Launcher/OpenFiles/OpenFileItem.h"
#include "app/services/SecurityManagerExtensions.h"
#include "platform/FileDescriptor.h"
#include "platform/Workspace.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/WindowController.h"

namespace Ui {
class OpenFileViewController;
}

class QCheckBox;
class QLabel;
class QProgressBar;

namespace m2 {

// The launcher's one window: it decrypts the document the command line names into a private
// working folder, opens the copy in the user's default application, waits until that ends,
// seals the edited copy back in place of the document and ends the launcher. The wait runs on
// a worker; its end, the sealing, every alert and the end of the program run on the main
// thread.
class OpenFileViewController final : public platform::ui::ViewController {
    Q_OBJECT
  public:
    // `arguments`: the process's argument list, argv[0] first.
    explicit OpenFileViewController(std::vector<std::string> arguments);
    ~OpenFileViewController() override;

    // Outlets (the form's widgets).
    QLabel* progressLabel = nullptr;
    QProgressBar* progressControl = nullptr;
    QCheckBox* fileOpenCheck = nullptr;
    QLabel* filenameLabel = nullptr;

    bool currentFileIsOpen = false;
    std::optional<OpenFileItem> currentOpenFileItem;
    bool anErrorOccuredDuringStart = false;

    void viewDidLoad() override;
    void viewDidAppear() override;
    // The close control: asks the close rule while the document is open, then ends.
    void OnClose();
    // The close rule: true lets the window close (and the launcher end).
    [[nodiscard]] bool shouldWeallowClose();
    [[nodiscard]] bool windowShouldClose() { return shouldWeallowClose(); }
    // Refuses a document a running launcher already edits: closes the window, tells the user
    // and ends; answers true then.
    [[nodiscard]] bool checkIfFileAlreadyOpen(const std::string& file);
    // Decrypts and records the document and starts the wait for its application; answers true
    // when an error occurred.
    [[nodiscard]] bool decryptAndOpenFile(const std::string& file, std::string_view password,
                                          const std::string& hint);

    // Whether the sealing of the edited copy is running (close requests wait for it).
    [[nodiscard]] bool isReencrypting() const { return reencrypting_; }
    // Whether the application ended too soon to tell whether editing is over, so the user is
    // asked before the copy is sealed.
    [[nodiscard]] bool isAwaitingConfirmation() const { return awaitingConfirmation_; }
    // Whether a worker still waits for the editing application.
    [[nodiscard]] bool isWaiting() const;

    // An application that ends with status 0 sooner than this after its start most likely
    // handed the file to a window already open.
    static constexpr std::chrono::milliseconds kHandOffTime{3000};

  protected:
    void loadView() override;

  private:
    struct Wait;

    // Tells of the edits launchers that ended without finishing left in their working
    // folders, offers to put a sealed copy in place, and forgets a folder only when nothing
    // of the edits is left in it.
    void reportLeftEdits();
    // The refusal of a document another launcher has open: closes the window, tells, ends.
    void refuseAlreadyOpen();
    // The refusal of a document whose record could not be written.
    void refuseUnrecorded(const std::string& reason);
    void openFile(const OpenFileItem& item);
    void applicationEnded(const platform::WaitedApplication& waited);
    // Asks whether editing is over; Yes seals the copy and ends.
    void askWhetherEditingIsOver();
    // What the seal-back did with the copy and with the files saved beside it.
    struct SealBackOutcome {
        bool copyGone = false;  // the editor removed or renamed the copy: nothing to seal
        std::vector<std::string> keptBeside;  // saved files sealed beside the document
        // What could not be put in place, and whether it is a file saved beside the copy.
        std::vector<std::pair<SealBackResult, bool>> failed;
    };
    // Seals the edited copy over the document and every other file saved in the working
    // folder beside the document, removes the folder only when nothing of them is left in
    // it, tells what happened, and ends the launcher.
    void reencryptAndQuit();
    void tellSealBack(const SealBackOutcome& outcome);
    [[nodiscard]] std::string currentName() const;
    void terminate();

    std::vector<std::string> arguments_;
    std::unique_ptr<Ui::OpenFileViewController> ui_;
    Morvane::Security::Secret password_;
    std::string hint_;
    bool reencrypting_ = false;
    bool awaitingConfirmation_ = false;
    bool finished_ = false;
    std::shared_ptr<Wait> wait_;
    platform::UniqueFd liveness_;  // only when the working folder's own lock is missing
    // Working folders made after this are another launcher's on their way to their lock.
    std::filesystem::file_time_type runStart_ = std::filesystem::file_time_type::clock::now();
};

// The window holding the controller; its close button asks the controller's close rule.
class OpenFileWindowController final : public platform::ui::WindowController {
    Q_OBJECT
  public:
    explicit OpenFileWindowController(std::vector<std::string> arguments);
    [[nodiscard]] OpenFileViewController& openFileViewController() const;
    void windowDidLoad() override;
    [[nodiscard]] bool windowShouldClose() override;
};

}  // namespace m2
