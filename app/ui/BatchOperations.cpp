// The main controller's batches: encrypt, decrypt and shred the selected entries, with the
// password sheets and the report. Built with the batches.
#include "app/library/SecurityManager.h"
#include "app/ui/projectViewController.h"

namespace m2 {

void projectViewController::encryptSelectedItems() {}

void projectViewController::decryptSelectedItems() {}

void projectViewController::shredSelectedFiles() {}

void projectViewController::OnCancelProgress() {
    SecurityManager::instance().cancelCurrentProcess();
}

void projectViewController::processFilesFromPasswordEntrySegue(const PasswordCredentials&,
                                                               CurrentProcess) {}

void projectViewController::startDecryptAndOpenProcess(const PasswordCredentials&,
                                                       const std::string&) {}

void projectViewController::preparePasswordEntry(platform::ui::StoryboardSegue&) {}

void projectViewController::prepareDecryptPassword(platform::ui::StoryboardSegue&) {}

void projectViewController::prepareReport(platform::ui::StoryboardSegue&) {}

}  // namespace m2
