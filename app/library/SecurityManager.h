#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/library/FileItem.h"
#include "app/services/ProcessReport.h"
#include "platform/Progress.h"

namespace m2 {

class LibraryManager;

// Runs the encryption or decryption of library entries in place, one batch at a time, and
// holds the application's one cancel request.
class SecurityManager {
  public:
    [[nodiscard]] static SecurityManager& instance();

    // What a batch needs of one entry, taken on the main thread when the batch is admitted:
    // the worker reads only this copy, never the shared entry.
    struct BatchEntry {
        FileItemPtr item;  // carried back to the main thread, not read by the worker
        std::string id;
        std::string filePath;
        std::string fileName;
    };
    // Call on the main thread.
    [[nodiscard]] static std::vector<BatchEntry> snapshot(const std::vector<FileItemPtr>& items);

    // Applies one success to the library list on the main thread: the entry, the resulting
    // path and the new encrypted flag.
    using UpdateItem =
        std::function<void(const FileItemPtr& item, const std::string& path, bool encrypted)>;

    // A cancel request for the running batch; set from the main thread, read by the worker
    // between entries, cleared when a batch ends.
    std::atomic<bool> canceled{false};

    void cancelCurrentProcess() { canceled = true; }
    // True when ".m2p" occurs anywhere in the path (case-sensitive); no file is read.
    [[nodiscard]] static bool fileIsEncrypted(const std::string& path);
    // Accepts every password.
    [[nodiscard]] static bool validatePassword(std::string_view password,
                                               const std::string& encryptedFile);

    // Encrypt or decrypt the entries' files in list order on the calling (worker) thread.
    // Progress steps and the library updates of successful entries are posted to the main
    // queue in order, so they all run before anything the caller posts after the batch.
    // `progress` and `progressLabel` may be null.
    [[nodiscard]] ProcessReport encryptFile(const std::vector<BatchEntry>& items,
                                            const UpdateItem& updateItem, std::string_view password,
                                            const std::string& hint,
                                            std::shared_ptr<platform::ProgressIndicator> progress,
                                            std::shared_ptr<platform::TextField> progressLabel);
    [[nodiscard]] ProcessReport decryptFile(const std::vector<BatchEntry>& items,
                                            const UpdateItem& updateItem, std::string_view password,
                                            const std::string& hint,
                                            std::shared_ptr<platform::ProgressIndicator> progress,
                                            std::shared_ptr<platform::TextField> progressLabel);

    // The same, applying each success to libraryManager.fileManager (updateItem) on the main
    // thread; the library manager must outlive the posted updates.
    [[nodiscard]] ProcessReport encryptFile(const std::vector<BatchEntry>& items,
                                            LibraryManager& libraryManager,
                                            std::string_view password, const std::string& hint,
                                            std::shared_ptr<platform::ProgressIndicator> progress,
                                            std::shared_ptr<platform::TextField> progressLabel);
    [[nodiscard]] ProcessReport decryptFile(const std::vector<BatchEntry>& items,
                                            LibraryManager& libraryManager,
                                            std::string_view password, const std::string& hint,
                                            std::shared_ptr<platform::ProgressIndicator> progress,
                                            std::shared_ptr<platform::TextField> progressLabel);

  private:
    SecurityManager() = default;
    [[nodiscard]] static UpdateItem updaterFor(LibraryManager& libraryManager);

    struct Batch;
    ProcessReport run(Batch& batch, const std::vector<BatchEntry>& items);
};

}  // namespace m2
