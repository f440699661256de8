#include "support/NotesTesting.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "Sealkit/SealkitFacade.h"
#include "app/services/PasswordCredentials.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace m2::test {

NotesEnvironment::NotesEnvironment()
    : runtime_("XDG_RUNTIME_DIR", (dir_ / "run").string()),
      tmpdir_("TMPDIR", (dir_ / "tmp").string()) {
    for (const char* name : {"run", "tmp"}) {
        fs::create_directories(dir_ / name);
        ::chmod((dir_ / name).c_str(), 0700);
    }
    fs::create_directories(folder());
    PasswordCredentials::instance().setPassword(kNotesPassword);
    PasswordCredentials::instance().setHint(kNotesHint);
}

NotesEnvironment::~NotesEnvironment() {
    PasswordCredentials::instance().setPassword("");
    PasswordCredentials::instance().setHint("");
}

bool NotesEnvironment::workingFoldersEmpty() const {
    return listFolder(platform::privateRuntimeFolderLocation()).empty() &&
           listFolder(platform::privateDiskFolderLocation()).empty();
}

fs::path NotesEnvironment::seal(const std::string& plain, const fs::path& folder,
                                const std::string& name) const {
    const fs::path path = folder / name;
    writeFile(path, plain);
    Encryptor encryptor(kNotesPassword, kNotesHint, false, false);
    const SealkitOutcome outcome = encryptor.encryptFileOutcome(path.string(), kNotesHint);
    EXPECT_TRUE(outcome.succeeded()) << outcome.message;
    return outcome.path;
}

std::string NotesEnvironment::plainOf(const fs::path& sealed) const {
    const fs::path check = dir_ / "check";
    fs::remove_all(check);
    fs::create_directories(check);
    const fs::path copy = check / sealed.filename();
    fs::copy_file(sealed, copy);
    Decryptor decryptor(kNotesPassword, kNotesHint);
    const SealkitOutcome outcome = decryptor.decryptFileOutcome(copy.string(), kNotesHint);
    EXPECT_TRUE(outcome.succeeded()) << outcome.message;
    std::string plain = outcome.succeeded() ? readFile(outcome.path) : std::string();
    fs::remove_all(check);
    return plain;
}

namespace {

std::vector<std::string> fieldOf(const std::vector<NoteItemPtr>& notes,
                                 std::string NoteItem::*field) {
    std::vector<std::string> out;
    for (const auto& note : notes) {
        out.push_back((*note).*field);
    }
    return out;
}

}  // namespace

std::vector<std::string> labelsOf(const std::vector<NoteItemPtr>& notes) {
    return fieldOf(notes, &NoteItem::label);
}

std::vector<std::string> idsOf(const std::vector<NoteItemPtr>& notes) {
    return fieldOf(notes, &NoteItem::id);
}

}  // namespace m2::test
