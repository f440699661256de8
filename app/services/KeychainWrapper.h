#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Keychain.h"
#include "platform/PropertyList.h"

namespace m2 {

using platform::KeychainData;

enum class KeychainItemClass : std::uint8_t {
    GenericPassword = 0,
    InternetPassword = 1,
    Certificate = 2,
    Key = 3,
    Identity = 4,
};

enum class KeychainItemAccessibility : std::uint8_t {
    AfterFirstUnlock = 0,
    AfterFirstUnlockThisDeviceOnly = 1,
    Always = 2,
    WhenPasscodeSetThisDeviceOnly = 3,
    AlwaysThisDeviceOnly = 4,
    WhenUnlocked = 5,
    WhenUnlockedThisDeviceOnly = 6,
};

// The keychain constant a case stands for; absent for a value outside the enumeration.
[[nodiscard]] std::optional<std::string_view> keychainAttrValue(KeychainItemClass itemClass);
[[nodiscard]] std::optional<std::string_view> keychainAttrValue(
    KeychainItemAccessibility accessibility);

struct KeychainItemOptions {
    KeychainItemClass itemClass = KeychainItemClass::GenericPassword;
    KeychainItemAccessibility itemAccessibility = KeychainItemAccessibility::WhenUnlocked;
    bool unlockIfLocked = true;  // false: a locked keyring is not asked to unlock
};

// A key/value store over the keychain: one wrapper is one service (and optionally one
// access group); each key is one item whose secret is the value. Absent options mean a
// generic password readable when unlocked. Getters answer absent and setters false on any
// keychain failure; the keychain is not touched before the first operation.
class KeychainWrapper {
  public:
    using Options = std::optional<KeychainItemOptions>;

    explicit KeychainWrapper(
        std::string serviceName, std::optional<std::string> accessGroup = std::nullopt,
        std::shared_ptr<platform::KeychainBackend> backend = platform::secretServiceKeychain());

    [[nodiscard]] const std::string& serviceName() const { return serviceName_; }
    [[nodiscard]] const std::optional<std::string>& accessGroup() const { return accessGroup_; }

    // The process-wide wrapper of defaultServiceName() with no access group (a copy, so
    // that a concurrent change of the shared fields cannot tear it).
    [[nodiscard]] static KeychainWrapper defaultKeychainWrapper();
    [[nodiscard]] static std::string defaultServiceName();
    static void setDefaultServiceName(std::string serviceName);
    static void setDefaultAccessGroup(std::optional<std::string> accessGroup);

    [[nodiscard]] bool hasValueForKey(std::string_view key, Options options = {}) const;

    // Typed values are kept as single-value binary property lists. The numeric and Boolean
    // getters take any stored number (or Boolean) and convert it; an item that holds no such
    // list, a text, or a number that does not fit gives absent.
    [[nodiscard]] std::optional<std::int64_t> integerForKey(std::string_view key,
                                                            Options options = {}) const;
    [[nodiscard]] std::optional<float> floatForKey(std::string_view key,
                                                   Options options = {}) const;
    [[nodiscard]] std::optional<double> doubleForKey(std::string_view key,
                                                     Options options = {}) const;
    [[nodiscard]] std::optional<bool> boolForKey(std::string_view key, Options options = {}) const;
    [[nodiscard]] std::optional<platform::PropertyValue> objectForKey(std::string_view key,
                                                                      Options options = {}) const;
    [[nodiscard]] std::optional<std::string> stringForKey(std::string_view key,
                                                          Options options = {}) const;
    [[nodiscard]] std::optional<KeychainData> dataForKey(std::string_view key,
                                                         Options options = {}) const;
    // The item's bytes with the keychain's own status, for callers that must tell a missing
    // item from a keychain that could not be asked (locked, or no service at all).
    [[nodiscard]] platform::KeychainCopyResult lookUp(std::string_view key,
                                                      Options options = {}) const;
    // The item's persistent reference (on the Secret Service: its object path).
    [[nodiscard]] std::optional<KeychainData> dataRefForKey(std::string_view key,
                                                            Options options = {}) const;

    [[nodiscard]] bool setInteger(std::int64_t value, std::string_view key,
                                  Options options = {}) const;
    [[nodiscard]] bool setFloat(float value, std::string_view key, Options options = {}) const;
    [[nodiscard]] bool setDouble(double value, std::string_view key, Options options = {}) const;
    [[nodiscard]] bool setBool(bool value, std::string_view key, Options options = {}) const;
    [[nodiscard]] bool setObject(const platform::PropertyValue& value, std::string_view key,
                                 Options options = {}) const;
    // Refuses, without touching the keychain, a text that is not well-formed UTF-8.
    [[nodiscard]] bool setString(std::string_view value, std::string_view key,
                                 Options options = {}) const;
    // Adds the item, or replaces the value of the existing one.
    [[nodiscard]] bool setData(const KeychainData& value, std::string_view key,
                               Options options = {}) const;

    [[nodiscard]] bool removeObjectForKey(std::string_view key, Options options = {}) const;
    // Every generic-password item of this service (and access group, when set).
    [[nodiscard]] bool removeAllKeys() const;
    // Every item this program's schema holds, of any service; other programs' secrets stay.
    static void wipeKeychain(const std::shared_ptr<platform::KeychainBackend>& backend =
                                 platform::secretServiceKeychain());

  private:
    [[nodiscard]] std::optional<platform::KeychainQuery> queryForKey(std::string_view key,
                                                                     const Options& options) const;
    [[nodiscard]] std::optional<KeychainData> copy(std::string_view key, const Options& options,
                                                   platform::KeychainReturn what) const;

    std::string serviceName_;
    std::optional<std::string> accessGroup_;
    std::shared_ptr<platform::KeychainBackend> backend_;
};

}  // namespace m2
