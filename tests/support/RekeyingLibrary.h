#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/library/FileItem.h"
#include "support/NotesTesting.h"

namespace m2::test {

inline constexpr const char* kOldPassword = kNotesPassword;
inline constexpr const char* kOldHint = kNotesHint;
inline constexpr const char* kNewPassword = "a brand new master password";
inline constexpr const char* kNewHint = "the new one";
inline constexpr const char* kOtherPassword = "somebody else's password";

// A file sealed by the engine under `password`, made from a plain file `name` in `folder`;
// answers the sealed path.
[[nodiscard]] std::filesystem::path sealWith(const std::string& plain,
                                             const std::filesystem::path& folder,
                                             const std::string& name, const std::string& password,
                                             const std::string& hint = kOldHint);
// The plain content of a sealed file under `password`, decrypted from a copy in a scratch
// folder; nothing when the password does not open it.
[[nodiscard]] std::optional<std::string> plainWith(const std::filesystem::path& sealed,
                                                   const std::string& password);
// The master password and its hint stored in the keychain, and the database marked as set
// up, as after a first run; false when the keychain refused.
[[nodiscard]] bool storeMasterPassword(const std::string& password, const std::string& hint);
// Saves a library whose Documents folder, shown at the next start, holds an entry for each
// of these files.
void saveDocumentsLibrary(const std::vector<std::filesystem::path>& files, bool encrypted);
// A library entry for the file at `path`.
[[nodiscard]] FileItemPtr entryFor(const std::filesystem::path& path, bool encrypted);

}  // namespace m2::test
