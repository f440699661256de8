#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/AtomicWrite.h"
#include "platform/Xml.h"

namespace m2 {

// Reads and replaces one catalogue file (library, folder tree, open-files list) so that a
// library is never lost:
// - a file that exists but cannot be read or parsed is moved aside to "<name>.unreadable"
//   (or ".unreadable.2", ... when that is taken) before anything else happens, and is never
//   written over: while it cannot be moved aside, every save of it fails;
// - after a load that dropped entries, the original is copied aside in the same way before
//   the first save;
// - every save replaces the file atomically, and a save of what the file already holds
//   writes nothing.
// Safe to call from any thread.
class CatalogueFile {
  public:
    CatalogueFile() = delete;

    // Elements nested deeper than this make a catalogue damaged; the folder tree, whose
    // reader cuts deep nesting itself, asks for unlimitedDepth.
    static constexpr std::size_t defaultMaximumDepth = 64;
    static constexpr std::size_t unlimitedDepth = static_cast<std::size_t>(-1);

    // The parsed document; absent when there is no file or it is damaged (then moved aside):
    // not a regular file, larger than any catalogue, nested deeper than `maximumDepth` or
    // with a value longer than any path.
    [[nodiscard]] static std::optional<platform::XmlDocument> load(
        const std::filesystem::path& path, std::size_t maximumDepth = defaultMaximumDepth);

    // A file its reader found damaged: moved aside as load() does, never written over.
    static void setAside(const std::filesystem::path& path);

    // The loaded file had entries the reader dropped: keep the original before the next save.
    static void keepOriginalBeforeNextSave(const std::filesystem::path& path);

    // Replaces the file with the serialised document, creating the base folder when the file
    // lies in it and it is missing. False, with a diagnostic printed, when nothing was written;
    // `reason` (when given) then receives the system's reason.
    [[nodiscard]] static bool save(const std::filesystem::path& path,
                                   const platform::XmlDocument& document,
                                   std::string* reason = nullptr);
    // The same with the document already serialized, in pieces written one after another;
    // piece(i) may wait for a piece still being made, and answers each as often as asked.
    [[nodiscard]] static bool save(const std::filesystem::path& path,
                                   const platform::PieceSource& pieces,
                                   std::string* reason = nullptr);
};

}  // namespace m2
