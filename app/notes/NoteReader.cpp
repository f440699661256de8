#include "app/notes/NoteReader.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "Sealkit/SealkitFacade.h"
#include "app/services/PasswordCredentials.h"
#include "app/services/SecurityManagerExtensions.h"
#include "platform/Xml.h"

namespace m2 {
namespace {

constexpr const char* documentRootName = "morvane";

// Removes the operation's working sub-folder with the plain copy and any sealed copy in it,
// whatever happened. One that stays is left to the start-up clean-up
// (platform::removeStaleWorkingFolders).
void discardWorkingCopy(const std::string& plainPath) {
    if (SecurityManagerExtensions::instance().removeWorkingFolder(plainPath) !=
        securityResult::OK) {
        std::printf("Could not remove the working folder of the notes file %s\n",
                    plainPath.c_str());
    }
}

// The plain copy is written in place: it lives in the private working folder and is thrown
// away after the operation, so a half-written copy loses nothing.
bool writePlain(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return out.good();
}

std::optional<std::string> readPlain(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

// A file that is not in the encrypted format (too short, garbage) or whose stored plain size
// disagrees with its ciphertext: decrypting it would cut the notes or make them up.
bool damagedContainer(const std::string& path) {
    const std::optional<StoredContent> stored = readStoredContent(path);
    return !stored || !stored->sizesAgree();
}

}  // namespace

std::string NoteReader::document(const std::vector<NoteItemPtr>& notes) {
    platform::XmlDocument document;
    platform::XmlElement root = document.setRoot(platform::XmlElement::create(documentRootName));
    platform::XmlElement list = root.appendChild(rootName);
    for (const auto& note : notes) {
        list.appendCopy(note->xmlElement());
    }
    return document.serialize();
}

std::optional<std::vector<NoteItemPtr>> NoteReader::parse(std::string_view bytes) {
    const auto document = platform::XmlDocument::parse(bytes);
    if (!document) {
        return std::nullopt;
    }
    std::vector<NoteItemPtr> notes;
    for (const auto& list : document->root().childElements(rootName)) {
        for (const auto& element : list.childElements(elemenName)) {
            notes.push_back(std::make_shared<NoteItem>(element));
        }
    }
    return notes;
}

bool NoteReader::save(const std::vector<NoteItemPtr>& notes, const std::string& location) {
    const PasswordCredentials& credentials = PasswordCredentials::instance();
    return save(notes, location, credentials.password().view(), credentials.hint());
}

bool NoteReader::save(const std::vector<NoteItemPtr>& notes, const std::string& location,
                      std::string_view password, const std::string& hint) {
    // A damaged file may still hold notes: it is never replaced.
    if (damagedContainer(location)) {
        return false;
    }
    const std::string bytes = document(notes);
    const SecurityManagerExtensions& extensions = SecurityManagerExtensions::instance();

    // Decrypting first proves the current password opens the file it is about to replace.
    const TempLocationResult opened = extensions.decryptToTempLocation(
        location, password, hint, platform::WorkingFolderPurpose::Notes);
    if (opened.result != securityResult::OK) {
        return false;
    }
    // Only a new (empty) file or a notes document is replaced.
    const std::optional<std::string> old = readPlain(opened.location);
    if (!old || (!old->empty() && !parse(*old)) || !writePlain(opened.location, bytes)) {
        discardWorkingCopy(opened.location);
        return false;
    }
    const securityResult sealed =
        extensions.encryptTempBackToOriginal(opened.location, location, password, hint);
    discardWorkingCopy(opened.location);
    return sealed == securityResult::OK;
}

NoteReader::LoadOutcome NoteReader::loadOutcome(const std::string& path) {
    const PasswordCredentials& credentials = PasswordCredentials::instance();
    return loadOutcome(path, credentials.password().view(), credentials.hint());
}

NoteReader::LoadOutcome NoteReader::loadOutcome(const std::string& path, std::string_view password,
                                                const std::string& hint) {
    LoadOutcome outcome;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) || ::access(path.c_str(), R_OK) != 0) {
        return outcome;  // not there or not readable: nothing to judge
    }
    if (damagedContainer(path)) {
        outcome.damaged = true;
        return outcome;
    }
    const TempLocationResult opened = SecurityManagerExtensions::instance().decryptToTempLocation(
        path, password, hint, platform::WorkingFolderPurpose::Notes);
    if (opened.result != securityResult::OK) {
        // Only a failed password check is the password's fault; an engine that refuses the
        // file itself found it damaged. A working copy that could not be made says nothing.
        outcome.notOpened = opened.passwordRefused;
        outcome.damaged =
            !opened.passwordRefused && opened.result == securityResult::CouldNotOpenFile;
        return outcome;
    }
    const std::optional<std::string> bytes = readPlain(opened.location);
    discardWorkingCopy(opened.location);
    if (!bytes || bytes->empty()) {
        return outcome;  // a new notes file holds nothing until its first save
    }
    outcome.notes = parse(*bytes);
    outcome.damaged = !outcome.notes.has_value();
    return outcome;
}

std::optional<std::vector<NoteItemPtr>> NoteReader::load(const std::string& path) {
    return loadOutcome(path).notes;
}

}  // namespace m2
