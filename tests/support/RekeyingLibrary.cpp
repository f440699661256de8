#include "support/RekeyingLibrary.h"

#include <gtest/gtest.h>

#include "Sealkit/SealkitFacade.h"
#include "app/library/FolderManager.h"
#include "app/library/LibraryManager.h"
#include "app/services/PasswordCredentials.h"
#include "app/services/Settings.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;

namespace m2::test {

fs::path sealWith(const std::string& plain, const fs::path& folder, const std::string& name,
                  const std::string& password, const std::string& hint) {
    const fs::path path = folder / name;
    writeFile(path, plain);
    Encryptor encryptor(password, hint, false, false);
    const SealkitOutcome outcome = encryptor.encryptFileOutcome(path.string(), hint);
    EXPECT_TRUE(outcome.succeeded()) << outcome.message;
    return outcome.path;
}

std::optional<std::string> plainWith(const fs::path& sealed, const std::string& password) {
    const TempDir check;
    const fs::path copy = check / sealed.filename().string();
    std::error_code ec;
    fs::copy_file(sealed, copy, ec);
    if (ec) {
        return std::nullopt;
    }
    Decryptor decryptor(password, "");
    const SealkitOutcome outcome = decryptor.decryptFileOutcome(copy.string(), "");
    if (!outcome.succeeded()) {
        return std::nullopt;
    }
    return readFile(outcome.path);
}

bool storeMasterPassword(const std::string& password, const std::string& hint) {
    PasswordCredentials credentials;
    credentials.setPassword(Morvane::Security::Secret(password));
    credentials.setHint(hint);
    if (!credentials.saveToKeychain()) {
        return false;
    }
    Settings::instance().setDatabaseSetup(true);
    return true;
}

void saveDocumentsLibrary(const std::vector<fs::path>& files, bool encrypted) {
    LibraryManager library;
    library.folderManager.initItems();
    const auto documents = library.folderManager.find(FolderManager::document);
    documents->selected = true;
    library.folderManager.setCurrent(documents);
    for (const fs::path& file : files) {
        auto entry = entryFor(file, encrypted);
        entry->folder = FolderManager::document;
        library.fileManager.library.push_back(entry);
    }
    library.save();
}

FileItemPtr entryFor(const fs::path& path, bool encrypted) {
    return std::make_shared<FileItem>("file://" + path.string(), path.filename().string(), "folder",
                                      encrypted, false, path.parent_path().string(), false);
}

}  // namespace m2::test
