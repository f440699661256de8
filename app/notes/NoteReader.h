#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/notes/NoteItem.h"

namespace m2 {

// The only reader and writer of the notes file's content: an encrypted file under the
// logged-in master password and hint whose plain content is the XML document
// <morvane><notes><note .../>...</notes></morvane>. Both operations take the password and hint
// from PasswordCredentials::instance() when they run, work on a plain copy in the private
// working folder and leave nothing of it behind. Not to be run twice at once on one file.
class NoteReader {
  public:
    NoteReader() = delete;

    static constexpr const char* rootName = "notes";
    static constexpr const char* elemenName = "note";

    // Replaces the content of the existing notes file at `location` with `notes`; true when
    // the new content is in place. The file is replaced in one step, and only when the
    // current password opens it and it is not damaged (it holds nothing yet or a notes
    // document); on false it is as it was.
    [[nodiscard]] static bool save(const std::vector<NoteItemPtr>& notes,
                                   const std::string& location);
    // The same under this password and hint (a file whose re-keying ended before the
    // logged-in password changed).
    [[nodiscard]] static bool save(const std::vector<NoteItemPtr>& notes,
                                   const std::string& location, std::string_view password,
                                   const std::string& hint);
    // The notes the file at `path` holds, in file order; absent when it cannot be decrypted,
    // read or parsed, or is empty.
    [[nodiscard]] static std::optional<std::vector<NoteItemPtr>> load(const std::string& path);

    // A load that also tells why it found nothing.
    struct LoadOutcome {
        std::optional<std::vector<NoteItemPtr>> notes;
        // The file is damaged: not a whole encrypted file (too short, garbage, cut off), its
        // stored plain size disagrees with its ciphertext, or it decrypts to content that is
        // not a notes document. It must not be replaced by a list read from it.
        bool damaged = false;
        // The password check itself failed: the file is whole but another password sealed it.
        bool notOpened = false;
    };
    [[nodiscard]] static LoadOutcome loadOutcome(const std::string& path);
    [[nodiscard]] static LoadOutcome loadOutcome(const std::string& path, std::string_view password,
                                                 const std::string& hint);

    // The plain content for these notes (UTF-8 XML).
    [[nodiscard]] static std::string document(const std::vector<NoteItemPtr>& notes);
    // The notes a plain content holds; absent when it is not a well-formed XML document.
    [[nodiscard]] static std::optional<std::vector<NoteItemPtr>> parse(std::string_view bytes);
};

}  // namespace m2
