#include "app/library/RekeyingJournal.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <sstream>

#include "platform/AtomicWrite.h"
#include "platform/Paths.h"
#include "platform/StoredFile.h"

namespace m2 {
namespace {

constexpr const char* kFirstLine = "morvane2 password change 1";
// Far more than any library's paths; keeps a stray file from being read whole.
constexpr std::uint64_t kLargestJournal = 64 * 1024 * 1024;

// One field per line: tabs, line breaks and backslashes are escaped.
std::string escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::optional<std::string> unescaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
            case '\\':
                out += '\\';
                break;
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            default:
                return std::nullopt;
        }
    }
    return out;
}

}  // namespace

std::filesystem::path rekeyingJournalPath() {
    return std::filesystem::path(platform::baseFolderText()) / "passwordChange.journal";
}

std::optional<RekeyingJournal> readRekeyingJournal(const std::filesystem::path& path) {
    const platform::StoredFileContents read = platform::readStoredFile(path, kLargestJournal);
    if (read.outcome != platform::StoredFileOutcome::read) {
        return std::nullopt;
    }
    std::istringstream lines(read.bytes);
    std::string line;
    if (!std::getline(lines, line) || line != kFirstLine) {
        return std::nullopt;
    }
    RekeyingJournal journal;
    while (std::getline(lines, line)) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos) {
            return std::nullopt;
        }
        const std::string kind = line.substr(0, tab);
        const std::string rest = line.substr(tab + 1);
        if (kind == "notes") {
            const auto path = unescaped(rest);
            if (!path || path->empty()) {
                return std::nullopt;
            }
            journal.notesPath = *path;
        } else if (kind == "document") {
            const std::size_t second = rest.find('\t');
            const auto id =
                second == std::string::npos ? std::nullopt : unescaped(rest.substr(0, second));
            const auto documentPath =
                second == std::string::npos ? std::nullopt : unescaped(rest.substr(second + 1));
            if (!id || !documentPath || documentPath->empty()) {
                return std::nullopt;
            }
            journal.documents.push_back({*id, *documentPath});
        } else {
            return std::nullopt;
        }
    }
    return journal;
}

bool writeRekeyingJournal(const std::filesystem::path& path, const RekeyingJournal& journal) {
    if (journal.empty()) {
        return ::unlink(path.c_str()) == 0 || errno == ENOENT;
    }
    std::string text = std::string(kFirstLine) + "\n";
    if (!journal.notesPath.empty()) {
        text += "notes\t" + escaped(journal.notesPath) + "\n";
    }
    for (const auto& document : journal.documents) {
        text += "document\t" + escaped(document.id) + "\t" + escaped(document.path) + "\n";
    }
    return platform::writeFileAtomically(path, text).ok();
}

std::string unfinishedChangeMessage(const RekeyingJournal& journal) {
    const std::size_t count = journal.documents.size();
    const std::string documents = std::to_string(count) + (count == 1 ? " document" : " documents");
    std::string what;
    if (count > 0 && !journal.notesPath.empty()) {
        what = documents + " and your notes are";
    } else if (count > 0) {
        what = documents + (count == 1 ? " is" : " are");
    } else {
        what = "your notes are";
    }
    return "A change of your master password did not finish: " + what +
           " still under your previous master password.";
}

}  // namespace m2
