#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/notes/NoteItem.h"

#include "support/ScopedDocuments.h"
#include "support/ScriptedAlertPresenter.h"
#include "support/TestFiles.h"

namespace m2::test {

inline constexpr const char* kNotesPassword = "notes master password";
inline constexpr const char* kNotesHint = "the usual one";

// What the notes code runs in: Documents (and so the settings) in a fresh folder, the private
// folders for working copies inside it too, the master password logged in and scripted
// alerts.
class NotesEnvironment {
  public:
    NotesEnvironment();
    ~NotesEnvironment();
    NotesEnvironment(const NotesEnvironment&) = delete;
    NotesEnvironment& operator=(const NotesEnvironment&) = delete;

    // Both private folders for working copies (runtime and disk) are empty or missing.
    [[nodiscard]] bool workingFoldersEmpty() const;
    // A plain folder for notes files.
    [[nodiscard]] std::filesystem::path folder() const { return dir_ / "notes"; }

    // A notes file sealed by the engine under the master password around `plain`, made in
    // `folder` from a plain file named `name`; answers the sealed path.
    [[nodiscard]] std::filesystem::path seal(const std::string& plain,
                                             const std::filesystem::path& folder,
                                             const std::string& name = "M2_SecureNotes.m2n") const;
    // The plain content of a sealed file, decrypted from a copy outside the working folder.
    [[nodiscard]] std::string plainOf(const std::filesystem::path& sealed) const;

    ScriptedAlertPresenter& alerts() const { return *alerts_; }

  private:
    ScopedDocuments documents_;
    TempDir dir_;
    ScopedEnv runtime_;
    ScopedEnv tmpdir_;
    ScopedScriptedAlerts alerts_;
};

// A sealed notes file's bytes with the trailer's stored plain size replaced by `size`; the
// ciphertext and everything else stay as they were.
[[nodiscard]] std::string withStoredPlainSize(const std::string& sealed, std::uint64_t size);
// The ways a whole sealed notes file is found damaged on disk, each applied to its bytes:
// "plain size 0" (notes still in the ciphertext), "truncated", "block missing", "garbage",
// "too short".
inline const std::vector<std::string> kContainerDamage = {"plain size 0", "truncated",
                                                          "block missing", "garbage", "too short"};
[[nodiscard]] std::string damagedCopy(const std::string& sealed, const std::string& damage);

// One field of every note, in list order.
[[nodiscard]] std::vector<std::string> labelsOf(const std::vector<NoteItemPtr>& notes);
[[nodiscard]] std::vector<std::string> idsOf(const std::vector<NoteItemPtr>& notes);

}  // namespace m2::test
