#include "support/NotesTesting.h"

#include <sys/stat.h>

#include <cstdio>

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
    PasswordCredentials::instance().setPassword(Morvane::Security::Secret(kNotesPassword));
    PasswordCredentials::instance().setHint(kNotesHint);
}

NotesEnvironment::~NotesEnvironment() {
    PasswordCredentials::instance().setPassword(Morvane::Security::Secret(""));
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

std::string withStoredPlainSize(const std::string& sealed, std::uint64_t size) {
    // The trailer ends in its four-digit length, "," and "<qvx>"; the plain size is the
    // eighth field before that end.
    constexpr std::size_t tail = 10;
    const std::size_t length = std::stoul(sealed.substr(sealed.size() - tail, 4));
    const std::size_t start = sealed.size() - length;
    std::string trailer = sealed.substr(start, length - tail + 4);
    std::size_t field = trailer.size();
    for (int comma = 0; comma < 8; ++comma) {
        field = trailer.rfind(',', field - 1);
    }
    const std::size_t end = trailer.find(',', field + 1);
    trailer.replace(field + 1, end - field - 1, std::to_string(size));
    trailer.resize(trailer.size() - 4);
    char number[8];
    std::snprintf(number, sizeof number, "%4zu", trailer.size() + tail);
    return sealed.substr(0, start) + trailer + number + ",<qvx>";
}

std::string damagedCopy(const std::string& sealed, const std::string& damage) {
    if (damage == "plain size 0") {
        return withStoredPlainSize(sealed, 0);
    }
    if (damage == "truncated") {
        return sealed.substr(0, sealed.size() / 2);
    }
    if (damage == "block missing") {
        return sealed.substr(0, 16) + sealed.substr(32);
    }
    if (damage == "garbage") {
        std::string bytes(sealed.size(), '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<char>((i * 131 + 7) % 251);
        }
        return bytes;
    }
    if (damage == "too short") {
        return ",<qvx>";
    }
    ADD_FAILURE() << "no such damage: " << damage;
    return sealed;
}

std::vector<std::string> labelsOf(const std::vector<NoteItemPtr>& notes) {
    return fieldOf(notes, &NoteItem::label);
}

std::vector<std::string> idsOf(const std::vector<NoteItemPtr>& notes) {
    return fieldOf(notes, &NoteItem::id);
}

}  // namespace m2::test
