#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "M2 Launcher/OpenFiles/OpenFileItem.h"

namespace m2 {

// What a working sub-folder of a launcher that ended without finishing holds of its edits.
struct LeftEdits {
    // Empty for a record whose copy lies outside our working folders.
    std::filesystem::path folder;
    // The open-files record of the folder; absent when the launcher ended before it made one.
    std::optional<OpenFileItem> record;
    // A complete sealed copy (it has its trailer; the engine names a sealed file only once it
    // is complete), and whether it is byte for byte what the document holds.
    std::optional<std::filesystem::path> sealed;
    bool sealedInPlace = false;
    // A plain copy holding the edits: not empty, not only the shredder's 0xFF bytes, not
    // under the shredder's scrambled name.
    std::optional<std::filesystem::path> plain;

    // Nothing in the folder but what the document already holds, or nothing at all.
    [[nodiscard]] bool nothingLeft() const { return sealedInPlace || (!sealed && !plain); }
    // The document is the one opened and nothing changed it since, so the sealed copy may
    // replace it.
    [[nodiscard]] bool documentUnchanged() const;
};

// Examines the folders of the given records (their launchers have ended) and every other
// document sub-folder no running process keeps, made before `madeBefore`; one answer per
// folder, those with a record first, in the records' order.
[[nodiscard]] std::vector<LeftEdits> findLeftEdits(const std::vector<OpenFileItem>& deadRecords,
                                                   std::filesystem::file_time_type madeBefore);

// Whether `name` is one of the files editors keep beside a file they edit, never the user's
// work: a backup ("name~"), vim's swap files (".name.swp", ".name.swo", ...), LibreOffice's
// lock (".~lock.name#") and GTK's save temporaries (".goutputstream-*").
[[nodiscard]] bool isEditorTrace(const std::string& name);

// What an editor saved in the working folder `folder` besides the copy `copy` (a "Save As",
// a renamed copy): every regular file below it except the copy, the second name the copy has
// while it is sealed, and editors' traces; in path order.
[[nodiscard]] std::vector<std::filesystem::path> savedBesideCopy(
    const std::filesystem::path& folder, const std::filesystem::path& copy);

// Examines one working sub-folder.
[[nodiscard]] LeftEdits examineFolder(const std::filesystem::path& folder,
                                      const std::optional<OpenFileItem>& record);

}  // namespace m2
