#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace m2 {

// What a change of the master password has still to move from the previous password to the
// new one: kept on disk while the run goes, so a run that was stopped can be told and
// finished at the next log-on. It names files only, never a password.
struct RekeyingJournal {
    struct Document {
        std::string id;  // the library entry's id
        std::string path;
    };
    std::string notesPath;  // empty: the notes file is not pending
    std::vector<Document> documents;

    [[nodiscard]] bool empty() const { return notesPath.empty() && documents.empty(); }
};

// "<base folder>/passwordChange.journal", beside the settings.
[[nodiscard]] std::filesystem::path rekeyingJournalPath();

// The journal at `path`; std::nullopt when there is none. A file that is not ours (not a
// small regular file of the expected form) reads as none.
[[nodiscard]] std::optional<RekeyingJournal> readRekeyingJournal(const std::filesystem::path& path);

// Replaces the journal at `path` atomically; an empty journal removes the file. False when
// the file could not be written or removed.
[[nodiscard]] bool writeRekeyingJournal(const std::filesystem::path& path,
                                        const RekeyingJournal& journal);

// What the log-on says about a journal: "A change of your master password did not finish: 3
// documents and your notes are still under your previous master password."
[[nodiscard]] std::string unfinishedChangeMessage(const RekeyingJournal& journal);

}  // namespace m2
