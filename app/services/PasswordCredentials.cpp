#include "app/services/PasswordCredentials.h"

#include <atomic>
#include <utility>

#include "Sealkit/Hash/sha2.h"
#include "app/services/KeychainWrapper.h"
#include "platform/Base64.h"
#include "platform/Text.h"

namespace m2 {
namespace {

// Part of every stored digest: changing it would lock every user out.
constexpr std::string_view salt = "Pelqorin40x7";

std::vector<std::uint8_t> sha256(const unsigned char* data, std::uint64_t length) {
    static const unsigned char nothing = 0;  // never hand the hasher a null pointer
    Morvane::Security::sha2 hash(&nothing, 0);
    hash.Init(Morvane::Security::SHA_256);
    hash.Update(length > 0 ? data : &nothing, length);
    hash.End();
    int size = 0;
    const unsigned char* digest = hash.RawHash(size);
    return std::vector<std::uint8_t>(digest, digest + size);
}

std::atomic<std::uint64_t>& passwordGeneration() {
    static std::atomic<std::uint64_t> generation{0};
    return generation;
}

KeychainWrapper passwordStore(const std::shared_ptr<platform::KeychainBackend>& keychain) {
    return KeychainWrapper(std::string(passwordServiceName), std::string(credentialsAccessGroup),
                           keychain);
}

KeychainWrapper hintStore(const std::shared_ptr<platform::KeychainBackend>& keychain) {
    return KeychainWrapper(std::string(hintServiceName), std::string(credentialsAccessGroup),
                           keychain);
}

}  // namespace

std::optional<std::string> toSha256(std::string_view text) {
    Secret bytes;
    bytes.reserve(text.size() + salt.size());
    bytes.append(text);
    bytes.append(salt);
    const auto digest = sha256(bytes.bytes(), bytes.size());
    if (digest.size() != 32) {
        return std::nullopt;
    }
    return platform::base64Encode(digest);
}

std::optional<std::vector<std::uint8_t>> toSha256(const std::vector<std::uint8_t>& data) {
    auto digest = sha256(data.data(), data.size());
    if (digest.size() != 32) {
        return std::nullopt;
    }
    return digest;
}

PasswordCredentials::PasswordCredentials()
    : PasswordCredentials(platform::secretServiceKeychain()) {}

PasswordCredentials::PasswordCredentials(std::shared_ptr<platform::KeychainBackend> keychain)
    : keychain_(std::move(keychain)) {}

PasswordCredentials::~PasswordCredentials() = default;

PasswordCredentials& PasswordCredentials::instance() {
    static PasswordCredentials shared;
    return shared;
}

Secret PasswordCredentials::password() const {
    std::lock_guard lock(mutex_);
    return password_;
}

void PasswordCredentials::setPassword(Secret value) {
    std::lock_guard lock(mutex_);
    password_ = std::move(value);
}

std::string PasswordCredentials::hint() const {
    std::lock_guard lock(mutex_);
    return hint_;
}

void PasswordCredentials::setHint(std::string value) {
    std::lock_guard lock(mutex_);
    hint_ = std::move(value);
}

Secret PasswordCredentials::password2() const {
    std::lock_guard lock(mutex_);
    return password2_;
}

void PasswordCredentials::setPassword2(Secret value) {
    std::lock_guard lock(mutex_);
    password2_ = std::move(value);
}

PasswordCredentials::Validation PasswordCredentials::Validate() const {
    std::lock_guard lock(mutex_);
    const std::size_t length = platform::graphemeCount(password_.view());
    if (length == 0) {
        return {false, "Please enter a valid password"};
    }
    if (length < static_cast<std::size_t>(minPasswordLength)) {
        return {false, "Password is too short. Password must be at least 6 characters."};
    }
    if (!platform::canonicallyEqual(password_.view(), password2_.view())) {
        return {false, "Passwords do not match"};
    }
    return {true, "OK"};
}

void PasswordCredentials::reset() {
    std::lock_guard lock(mutex_);
    password_.clear();
}

bool PasswordCredentials::saveToKeychain() const {
    const std::string hint = this->hint();
    const auto digest = toSha256(this->password().view());
    if (!digest) {
        return false;
    }
    const KeychainWrapper passwords = passwordStore(keychain_);
    const bool digestStored = passwords.setString(*digest, passwordKey);
    const bool hintStored = hintStore(keychain_).setString(hint, hintKey);
    if (!digestStored || !hintStored) {
        return false;
    }
    const auto stored = passwords.stringForKey(passwordKey);
    if (!stored || !Morvane::Security::equalInConstantTime(*stored, *digest)) {
        return false;
    }
    passwordGeneration().fetch_add(1);
    return true;
}

std::uint64_t PasswordCredentials::masterPasswordGeneration() {
    return passwordGeneration().load();
}

namespace {

// The keyring's failure in the words the alert uses; empty when it answered.
std::string keychainProblem(platform::KeychainStatus status) {
    switch (status) {
        case platform::keychainSuccess:
        case platform::keychainItemNotFound:
            return {};
        case platform::keychainAuthFailed:
            return "The system keyring is locked and was not unlocked. Morvane 2 Riravevovavi "
                   "keeps the check of your master password there: unlock the keyring when "
                   "your desktop asks for it, then try again.";
        default:
            return "No system keyring (Secret Service) answers on this desktop session. "
                   "Morvane 2 Riravevovavi keeps the check of your master password there: "
                   "start your desktop's keyring, then try again.";
    }
}

// The answer for a keyring that could not be asked; absent when it answered.
std::optional<PasswordCredentials::KeychainCheck> unanswered(platform::KeychainStatus status) {
    std::string problem = keychainProblem(status);
    if (problem.empty()) {
        return std::nullopt;
    }
    return PasswordCredentials::KeychainCheck{
        PasswordCredentials::KeychainAnswer::unavailable, std::move(problem),
        std::string(status == platform::keychainAuthFailed ? keychainLockedTitle
                                                           : keychainUnavailableTitle)};
}

}  // namespace

PasswordCredentials::KeychainCheck PasswordCredentials::storedDigest() const {
    const platform::KeychainCopyResult stored = passwordStore(keychain_).lookUp(passwordKey);
    if (auto problem = unanswered(stored.status)) {
        return std::move(*problem);
    }
    return {stored.status == platform::keychainSuccess ? KeychainAnswer::matches
                                                       : KeychainAnswer::differs,
            {},
            {}};
}

PasswordCredentials::KeychainCheck PasswordCredentials::checkWithKeychain(
    std::string_view password) const {
    const auto digest = toSha256(password);
    if (!digest) {
        return {KeychainAnswer::differs, {}, {}};
    }
    const platform::KeychainCopyResult stored = passwordStore(keychain_).lookUp(passwordKey);
    if (auto problem = unanswered(stored.status)) {
        return std::move(*problem);
    }
    if (stored.status == platform::keychainItemNotFound) {
        // Removed by another program, or a keyring made anew: no password can match.
        return {KeychainAnswer::missing,
                "The system keyring holds no check of your master password, so no password "
                "can be checked against it. Your encrypted files are unchanged. If you still "
                "know your master password, choose Reset… below the password and set it "
                "again; otherwise restore the keyring from a backup.",
                "The master password cannot be checked"};
    }
    const std::string text(stored.data.begin(), stored.data.end());
    const bool same = stored.status == platform::keychainSuccess && platform::isValidUtf8(text) &&
                      Morvane::Security::equalInConstantTime(text, *digest);
    return {same ? KeychainAnswer::matches : KeychainAnswer::differs, {}, {}};
}

bool PasswordCredentials::validateWithKeychain(std::string_view password) const {
    return checkWithKeychain(password).answer == KeychainAnswer::matches;
}

void PasswordCredentials::loadHint() {
    // Never worth an unlock prompt of its own: a locked keyring is unlocked at the log-on.
    KeychainItemOptions quietly;
    quietly.unlockIfLocked = false;
    auto stored = hintStore(keychain_).stringForKey(hintKey, quietly);
    if (stored) {
        setHint(std::move(*stored));
    }
}

}  // namespace m2
