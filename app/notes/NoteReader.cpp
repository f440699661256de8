#include "app/notes/NoteReader.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

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
    const std::string bytes = document(notes);
    const PasswordCredentials& credentials = PasswordCredentials::instance();
    const std::string password = credentials.password();
    const std::string hint = credentials.hint();
    const SecurityManagerExtensions& extensions = SecurityManagerExtensions::instance();

    // Decrypting first proves the current password opens the file it is about to replace.
    const TempLocationResult opened = extensions.decryptToTempLocation(
        location, password, hint, platform::WorkingFolderPurpose::Notes);
    if (opened.result != securityResult::OK) {
        return false;
    }
    if (!writePlain(opened.location, bytes)) {
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
    const TempLocationResult opened = SecurityManagerExtensions::instance().decryptToTempLocation(
        path, credentials.password(), credentials.hint(), platform::WorkingFolderPurpose::Notes);
    if (opened.result != securityResult::OK) {
        LoadOutcome outcome;
        outcome.notOpened = true;
        return outcome;
    }
    const std::optional<std::string> bytes = readPlain(opened.location);
    discardWorkingCopy(opened.location);
    if (!bytes || bytes->empty()) {
        return {};  // a new notes file holds nothing until its first save
    }
    LoadOutcome outcome;
    outcome.notes = parse(*bytes);
    outcome.damaged = !outcome.notes.has_value();
    return outcome;
}

std::optional<std::vector<NoteItemPtr>> NoteReader::load(const std::string& path) {
    return loadOutcome(path).notes;
}

}  // namespace m2
