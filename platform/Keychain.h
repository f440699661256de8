#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace m2::platform {

using KeychainData = std::vector<std::uint8_t>;

// Keychain statuses keep the numeric values callers of a keychain already know.
using KeychainStatus = std::int32_t;
inline constexpr KeychainStatus keychainSuccess = 0;
inline constexpr KeychainStatus keychainParam = -50;            // malformed query
inline constexpr KeychainStatus keychainNotAvailable = -25291;  // no keyring reachable
inline constexpr KeychainStatus keychainAuthFailed = -25293;    // keyring locked, not opened
inline constexpr KeychainStatus keychainDuplicateItem = -25299;
inline constexpr KeychainStatus keychainItemNotFound = -25300;

// Item class and accessibility texts. The class text is stored on every item, so these
// values are persisted and must never change.
namespace keychainClass {
inline constexpr std::string_view genericPassword = "genericPassword";
inline constexpr std::string_view internetPassword = "internetPassword";
inline constexpr std::string_view certificate = "certificate";
inline constexpr std::string_view key = "key";
inline constexpr std::string_view identity = "identity";
}  // namespace keychainClass

namespace keychainAccessible {
inline constexpr std::string_view afterFirstUnlock = "afterFirstUnlock";
inline constexpr std::string_view afterFirstUnlockThisDeviceOnly = "afterFirstUnlockThisDeviceOnly";
inline constexpr std::string_view always = "always";
inline constexpr std::string_view whenPasscodeSetThisDeviceOnly = "whenPasscodeSetThisDeviceOnly";
inline constexpr std::string_view alwaysThisDeviceOnly = "alwaysThisDeviceOnly";
inline constexpr std::string_view whenUnlocked = "whenUnlocked";
inline constexpr std::string_view whenUnlockedThisDeviceOnly = "whenUnlockedThisDeviceOnly";
}  // namespace keychainAccessible

// The Secret Service schema and its attribute names: persisted with every item.
inline constexpr std::string_view keychainSchemaName = "org.morvane.Morvane2.Keychain";
inline constexpr std::string_view keychainAttrClass = "class";
inline constexpr std::string_view keychainAttrService = "service";
inline constexpr std::string_view keychainAttrAccount = "account";
inline constexpr std::string_view keychainAttrGeneric = "generic";
inline constexpr std::string_view keychainAttrAccessGroup = "accessGroup";

// Attributes that select items. An absent attribute matches any value, so a query without
// an access group also finds the items of every group. `accessible` is recorded for the
// caller's sake; the Secret Service has no per-item accessibility and ignores it.
struct KeychainQuery {
    std::string itemClass{keychainClass::genericPassword};
    std::optional<std::string> accessible;
    std::optional<std::string> service;
    std::optional<std::string> accessGroup;
    std::optional<std::string> account;  // UTF-8 text
    std::optional<std::string> generic;  // UTF-8 text
    // Whether a locked keyring is asked to unlock (the desktop may prompt); when not, the
    // locked item answers keychainAuthFailed.
    bool unlockIfLocked = true;

    bool operator==(const KeychainQuery&) const = default;
};

enum class KeychainReturn {
    data,           // the item's secret bytes
    persistentRef,  // a reference that names the item itself
};

struct KeychainCopyResult {
    KeychainStatus status = keychainItemNotFound;
    KeychainData data;  // meaningful only when status is keychainSuccess
};

// The four operations of a platform keychain. Implementations are safe to call from any
// thread.
class KeychainBackend {
  public:
    virtual ~KeychainBackend() = default;

    // Adds one item; keychainDuplicateItem when an item with the same class, service,
    // account and access group (or the same absence of one) exists already.
    [[nodiscard]] virtual KeychainStatus add(const KeychainQuery& item,
                                             const KeychainData& value) = 0;
    // The first item matching the query.
    [[nodiscard]] virtual KeychainCopyResult copyMatching(const KeychainQuery& query,
                                                          KeychainReturn what) = 0;
    // Replaces the value of every matching item.
    [[nodiscard]] virtual KeychainStatus update(const KeychainQuery& query,
                                                const KeychainData& value) = 0;
    // Deletes every matching item.
    [[nodiscard]] virtual KeychainStatus remove(const KeychainQuery& query) = 0;
};

// The Secret Service of the session bus (through libsecret), one per process. Only items
// of this program's schema are ever found, changed or deleted.
[[nodiscard]] std::shared_ptr<KeychainBackend> secretServiceKeychain();

}  // namespace m2::platform
