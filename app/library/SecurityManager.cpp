#include "app/library/SecurityManager.h"

#include <sys/stat.h>

#include "Sealkit/SealkitFacade.h"
#include "app/library/LibraryManager.h"
#include "app/services/SecurityManagerExtensions.h"
#include "app/services/Settings.h"
#include "platform/Dispatch.h"

namespace m2 {

SecurityManager& SecurityManager::instance() {
    static SecurityManager manager;
    return manager;
}

std::vector<SecurityManager::BatchEntry> SecurityManager::snapshot(
    const std::vector<FileItemPtr>& items) {
    std::vector<BatchEntry> entries;
    entries.reserve(items.size());
    for (const auto& item : items) {
        if (item) {
            entries.push_back({item, item->id, item->filePath, item->fileName});
        }
    }
    return entries;
}

bool SecurityManager::fileIsEncrypted(const std::string& path) {
    return path.find(".m2p") != std::string::npos;
}

bool SecurityManager::validatePassword(std::string_view /*password*/,
                                       const std::string& /*encryptedFile*/) {
    return true;
}

// One batch's engine call and texts; the engine object serves every entry.
struct SecurityManager::Batch {
    bool encrypting;
    std::function<SealkitOutcome(const std::string& path)> process;
    const UpdateItem& updateItem;
    std::shared_ptr<platform::ProgressIndicator> progress;
    std::shared_ptr<platform::TextField> progressLabel;
};

namespace {

bool pathExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

ProcessReport SecurityManager::run(Batch& batch, const std::vector<BatchEntry>& items) {
    ProcessReport report;
    std::size_t counter = 0;
    const std::size_t total = items.size();
    const std::string verb = batch.encrypting ? "Encrypting (" : "Decrypting (";
    const auto& extensions = SecurityManagerExtensions::instance();
    // The window sees a few dozen states a second, not one per file: small files go as fast
    // as the engine takes them. The entry updates travel with it.
    const auto shown = platform::CoalescedProgress::make(batch.progress, batch.progressLabel);
    const auto postProgress = [&](const BatchEntry& entry) {
        ++counter;
        shown->report(1.0, verb + std::to_string(counter) + " of " + std::to_string(total) +
                               ") files : Current file: " + entry.fileName);
    };

    for (const BatchEntry& entry : items) {
        const std::string path = entry.filePath + "/" + entry.fileName;
        bool wasLocked = false;
        if (batch.encrypting) {
            postProgress(entry);
            wasLocked = extensions.removeReadonlyAttribute(path);
        } else {
            wasLocked = extensions.removeReadonlyAttribute(path);
            postProgress(entry);
        }

        const SealkitOutcome outcome = batch.process(path);
        // Built from the fields, so a comma in a path or message cannot shift them.
        Result result(outcome.succeeded(), outcome.message, outcome.path, entry.id);
        if (result.status) {
            if (batch.updateItem) {
                shown->post([update = batch.updateItem, item = entry.item, newPath = result.path,
                             encrypted = batch.encrypting] { update(item, newPath, encrypted); });
            }
            report.success().push_back(result);
        } else {
            report.failure().push_back(result);
        }
        if (wasLocked) {
            // A failed decryption names a temporary file that is gone; the original is
            // still there and gets its flag back.
            extensions.addReadonlyAttribute(pathExists(result.path) ? result.path : path);
        }
        if (canceled) {
            report.wasCanceled();
            break;
        }
    }
    shown->flush();
    canceled = false;
    return report;
}

ProcessReport SecurityManager::encryptFile(const std::vector<BatchEntry>& items,
                                           const UpdateItem& updateItem, std::string_view password,
                                           const std::string& hint,
                                           std::shared_ptr<platform::ProgressIndicator> progress,
                                           std::shared_ptr<platform::TextField> progressLabel) {
    // Read once: a change made while the batch runs applies to the next batch.
    const bool encryptFilenames = Settings::instance().EncryptFilenames();
    const bool hideExtensions = Settings::instance().HideFileExtensions();
    Encryptor encryptor(password, hint, encryptFilenames, hideExtensions);
    Batch batch{true,
                [&](const std::string& path) { return encryptor.encryptFileOutcome(path, hint); },
                updateItem, std::move(progress), std::move(progressLabel)};
    return run(batch, items);
}

ProcessReport SecurityManager::decryptFile(const std::vector<BatchEntry>& items,
                                           const UpdateItem& updateItem, std::string_view password,
                                           const std::string& hint,
                                           std::shared_ptr<platform::ProgressIndicator> progress,
                                           std::shared_ptr<platform::TextField> progressLabel) {
    Decryptor decryptor(password, hint);
    Batch batch{false,
                [&](const std::string& path) { return decryptor.decryptFileOutcome(path, hint); },
                updateItem, std::move(progress), std::move(progressLabel)};
    return run(batch, items);
}

SecurityManager::UpdateItem SecurityManager::updaterFor(LibraryManager& libraryManager) {
    return [&libraryManager](const FileItemPtr& item, const std::string& path, bool encrypted) {
        (void)libraryManager.fileManager.updateItem(*item, path, encrypted);
    };
}

ProcessReport SecurityManager::encryptFile(const std::vector<BatchEntry>& items,
                                           LibraryManager& libraryManager,
                                           std::string_view password, const std::string& hint,
                                           std::shared_ptr<platform::ProgressIndicator> progress,
                                           std::shared_ptr<platform::TextField> progressLabel) {
    return encryptFile(items, updaterFor(libraryManager), password, hint, std::move(progress),
                       std::move(progressLabel));
}

ProcessReport SecurityManager::decryptFile(const std::vector<BatchEntry>& items,
                                           LibraryManager& libraryManager,
                                           std::string_view password, const std::string& hint,
                                           std::shared_ptr<platform::ProgressIndicator> progress,
                                           std::shared_ptr<platform::TextField> progressLabel) {
    return decryptFile(items, updaterFor(libraryManager), password, hint, std::move(progress),
                       std::move(progressLabel));
}

}  // namespace m2
