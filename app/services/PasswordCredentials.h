#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Sealkit/Cryptography/Secret.h"
#include "platform/Keychain.h"

namespace m2 {

using Morvane::Security::Secret;
using Morvane::Security::wipe;

// Keychain items of the master password.
inline constexpr std::string_view passwordServiceName = "Morvane2PasswordService";
inline constexpr std::string_view hintServiceName = "Morvane2HintService";
inline constexpr std::string_view credentialsAccessGroup = "Morvane2Group";
inline constexpr std::string_view passwordKey = "password";
inline constexpr std::string_view hintKey = "hint";
// The title of the alert that says the keyring could not be asked.
inline constexpr std::string_view keychainUnavailableTitle = "The system keyring is not available";
// The title of the alert that says the keyring stayed locked (its unlock prompt dismissed).
inline constexpr std::string_view keychainLockedTitle = "The system keyring is locked";

// The digest text of a password: Base64 of SHA-256 over the UTF-8 text followed by a fixed
// salt; always 44 characters.
[[nodiscard]] std::optional<std::string> toSha256(std::string_view text);
// The raw 32-byte SHA-256 digest of the bytes.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> toSha256(
    const std::vector<std::uint8_t>& data);

// The master password, its confirmation and hint. Every member is safe to call from several
// threads at once; getters hand out copies.
class PasswordCredentials {
  public:
    static constexpr std::int64_t minPasswordLength = 6;

    struct Validation {
        bool result;
        std::string resaon;
    };

    PasswordCredentials();
    explicit PasswordCredentials(std::shared_ptr<platform::KeychainBackend> keychain);
    ~PasswordCredentials();
    PasswordCredentials(const PasswordCredentials&) = delete;
    PasswordCredentials& operator=(const PasswordCredentials&) = delete;

    // The session's credentials, made on first use.
    [[nodiscard]] static PasswordCredentials& instance();

    [[nodiscard]] Secret password() const;
    void setPassword(Secret value);
    [[nodiscard]] std::string hint() const;
    void setHint(std::string value);
    [[nodiscard]] Secret password2() const;
    void setPassword2(Secret value);

    // Checks the password and its confirmation; the first failed rule decides.
    [[nodiscard]] Validation Validate() const;
    // Empties the password; the hint and confirmation stay.
    void reset();
    // Stores the digest and the hint; true only when both were stored and the digest reads
    // back as written, so a caller never records a master password the keyring lost.
    [[nodiscard]] bool saveToKeychain() const;
    // What the keyring said about a password or about the stored digest.
    enum class KeychainAnswer {
        matches,      // the digest is stored (and equals the password's, when one was given)
        differs,      // the password's digest is not the stored one, or none is stored
        unavailable,  // the keyring could not be asked: locked and not unlocked, or none
        missing,      // checkWithKeychain only: the keyring answered, holding no digest
    };
    struct KeychainCheck {
        KeychainAnswer answer;
        std::string reason;  // for unavailable and missing: why, in the user's words
        std::string title;   // for unavailable and missing: the alert's title
    };
    // Compares the text's digest with the stored one; a locked keyring is asked to unlock.
    [[nodiscard]] KeychainCheck checkWithKeychain(std::string_view password) const;
    // Whether a master-password digest is stored (matches), none is (differs), or the
    // keyring cannot tell (unavailable).
    [[nodiscard]] KeychainCheck storedDigest() const;
    // Whether the text's digest equals the stored one; false when none can be read.
    [[nodiscard]] bool validateWithKeychain(std::string_view password) const;
    // Counts the master passwords stored in this process (by the setup, a reset or a change),
    // so what a locked session left behind can tell whether it is still that session's.
    [[nodiscard]] static std::uint64_t masterPasswordGeneration();
    // Takes the stored hint when one can be read without unlocking the keyring; otherwise
    // the hint stays as it is.
    void loadHint();

  private:
    mutable std::mutex mutex_;
    Secret password_;
    std::string hint_;
    Secret password2_;
    std::shared_ptr<platform::KeychainBackend> keychain_;
};

}  // namespace m2
