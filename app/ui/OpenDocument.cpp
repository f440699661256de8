// The main controller's opening of library entries: a plain file goes to its default
// application, an encrypted document to the launcher, which decrypts it for editing and
// seals it again; the main program never decrypts it itself.
#include <memory>

#include "app/library/SecurityManager.h"
#include "app/services/PasswordCredentials.h"
#include "app/services/Settings.h"
#include "app/ui/DecryptionPasswordViewController.h"
#include "app/ui/LauncherHandOff.h"
#include "app/ui/projectViewController.h"
#include "platform/Workspace.h"
#include "platform/ui/Application.h"
#include "platform/ui/Storyboard.h"

namespace m2 {
namespace {

std::string documentPath(const FileItem& entry) {
    return entry.filePath + "/" + entry.fileName;
}

}  // namespace

void projectViewController::OpenSelectedFiles() {
    const FileItemPtr entry = libraryManager.getSelectedFile();
    if (!entry) {
        return;
    }
    const std::string path = documentPath(*entry);
    if (!SecurityManager::fileIsEncrypted(path)) {
        libraryManager.openSelectedFile();
        return;
    }
    if (Settings::instance().SingleSignOn()) {
        decryptAndOpenFile(path, PasswordCredentials::instance().password().view(), false);
    } else {
        getPasswordAndOpenSelectedFiles(path);
    }
}

void projectViewController::getPasswordAndOpenSelectedFiles(const std::string& path) {
    auto sheet = platform::ui::Storyboard::main().instantiate<DecryptionPasswordViewController>(
        DecryptionPasswordViewController::storyboardID);
    if (!sheet) {
        return;
    }
    sheet->fileOpenPath = path;
    sheet->fileOpenMode = true;
    sheet->delegate = this;
    (void)presentViewControllerAsSheet(std::move(sheet));
}

// The hint the sheet hands back is not used: the launcher seals the edited copy under the
// hint the document itself keeps.
void projectViewController::startDecryptAndOpenProcess(const PasswordCredentials& credentials,
                                                       const std::string& path) {
    decryptAndOpenFile(path, credentials.password().view(), false);
}

void projectViewController::decryptAndOpenFile(const std::string& file, std::string_view password,
                                               bool appShouldTerminiate) {
    if (startLauncherForDocument(file, password) && appShouldTerminiate) {
        platform::ui::Application::instance().terminate();
    }
}

void projectViewController::OnShowInFinder(QObject*) {
    if (const FileItemPtr entry = libraryManager.getSelectedFile()) {
        (void)platform::workspace().revealFile(documentPath(*entry));
    }
}

}  // namespace m2
