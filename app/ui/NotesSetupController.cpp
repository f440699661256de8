#include "app/ui/NotesSetupController.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>
#include <system_error>

#include "app/library/LibraryManager.h"
#include "app/library/SecurityManager.h"
#include "app/notes/NoteManager.h"
#include "app/services/Alerts.h"
#include "platform/OpenPanel.h"
#include "platform/Paths.h"
#include "ui_NotesSetupController.h"

namespace m2 {
namespace {

// The encrypted name the engine gives a new notes file made from the plain name.
constexpr const char* sealedExtension = ".m2p";

bool isFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

// The path the user chose in the panel; nullopt when they cancelled.
std::optional<std::string> choose(const platform::OpenPanelOptions& options) {
    platform::OpenPanelResult result = platform::openPanel().runModal(options);
    if (result.response != platform::PanelResponse::ok || result.paths.empty()) {
        return std::nullopt;
    }
    return result.paths.front();
}

}  // namespace

NotesSetupController::NotesSetupController() = default;
NotesSetupController::~NotesSetupController() = default;

void NotesSetupController::loadView() {
    auto* view = new QWidget;
    ui_ = std::make_unique<Ui::NotesSetupController>();
    ui_->setupUi(view);
    existingCheck = ui_->existingCheck;
    customCheck = ui_->customCheck;
    defaultCheck = ui_->defaultCheck;
    customFolderPath = ui_->customFolderPath;
    existingFilePath = ui_->existingFilePath;
    connect(existingCheck, &QCheckBox::clicked, this, [this] { OnExisting(existingCheck); });
    connect(customCheck, &QCheckBox::clicked, this, [this] { OnCustom(customCheck); });
    connect(defaultCheck, &QCheckBox::clicked, this, [this] { OnDefault(defaultCheck); });
    connect(ui_->existingBrowseButton, &QPushButton::clicked, this,
            [this] { OnExistingFile(ui_->existingBrowseButton); });
    connect(ui_->customBrowseButton, &QPushButton::clicked, this,
            [this] { OnCustomLocation(ui_->customBrowseButton); });
    connect(ui_->okButton, &QPushButton::clicked, this, [this] { OnOk(ui_->okButton); });
    setView(view);
}

void NotesSetupController::viewDidLoad() {}

void NotesSetupController::OnExistingFile(QObject*) {
    platform::OpenPanelOptions options;
    options.prompt = "Select existing";
    options.canChooseDirectories = false;
    options.canChooseFiles = true;
    options.allowedFileTypes = {"m2p"};
    if (const auto path = choose(options)) {
        existingFilePath->setText(QString::fromStdString(*path));
    }
}

void NotesSetupController::OnCustomLocation(QObject*) {
    platform::OpenPanelOptions options;
    options.prompt = "Select custom location";
    options.canChooseDirectories = true;
    options.canChooseFiles = false;
    if (const auto path = choose(options)) {
        customFolderPath->setText(QString::fromStdString(*path));
    }
}

void NotesSetupController::OnExisting(QObject*) {
    customCheck->setChecked(false);
    defaultCheck->setChecked(false);
}

void NotesSetupController::OnDefault(QObject*) {
    customCheck->setChecked(false);
    existingCheck->setChecked(false);
}

void NotesSetupController::OnCustom(QObject*) {
    defaultCheck->setChecked(false);
    existingCheck->setChecked(false);
}

void NotesSetupController::OnOk(QObject*) {
    if (noteManager == nullptr) {
        return;
    }
    if (defaultCheck->isChecked()) {
        const std::filesystem::path documents = platform::documentsFolder();
        // The default place is the program's own folder, made on first use.
        if (documents.empty() || !platform::ensureBaseFolder() ||
            !createOrAdopt(documents.string() + LibraryManager::noteFilename)) {
            warningAlert("");
            return;
        }
    } else if (existingCheck->isChecked()) {
        const std::string path = existingFilePath->text().toStdString();
        if (!isFile(path) || !SecurityManager::fileIsEncrypted(path) ||
            path.find(LibraryManager::noteFilenameOnly) == std::string::npos) {
            warningAlert("Please select a valid notes file");
            return;
        }
        noteManager->setNotesFile(path);
    } else if (customCheck->isChecked()) {
        if (!createOrAdopt(customFolderPath->text().toStdString() +
                           LibraryManager::noteFilenameOnly)) {
            warningAlert("Please select a valid folder");
            return;
        }
    } else {
        warningAlert("");
        return;
    }
    setupComplete();
}

bool NotesSetupController::createOrAdopt(const std::string& path) {
    // A notes file made here before would otherwise be left unused beside a new copy.
    const std::string existing = path + sealedExtension;
    // Never offered: the file this sheet replaces because the password no longer opens it
    // or it is damaged.
    const bool unopenable =
        (noteManager->cannotOpenNotesFile() || noteManager->notesFileDamaged()) &&
        existing == noteManager->notesFileLocation;
    if (isFile(existing) && !unopenable &&
        yesNoAlert("A notes file already exists here",
                   "Use the existing notes file? Choose No to create a new one beside it.",
                   DefaultAnswer::yes)) {
        noteManager->setNotesFile(existing);
        return true;
    }
    return noteManager->createNotesFile(path);
}

void NotesSetupController::setupComplete() {
    if (delegate != nullptr) {
        delegate->secureNoteSetupComplete();
    }
    dismissController();
}

}  // namespace m2
