#include "app/services/KeychainWrapper.h"

#include <cmath>
#include <mutex>
#include <utility>

#include "platform/Text.h"

namespace m2 {
namespace {

using platform::keychainDuplicateItem;
using platform::KeychainQuery;
using platform::KeychainReturn;
using platform::keychainSuccess;

// Stands in for a bundle identifier, which a Linux program does not have.
constexpr std::string_view fallbackServiceName = "org.morvane.Morvane2";

struct SharedFields {
    std::mutex mutex;
    std::string serviceName{fallbackServiceName};
    std::optional<std::string> accessGroup;
};

// A stored number as the platform's number objects would give it: Booleans are 0 and 1,
// floating-point values are truncated toward zero when an integer is asked for.
std::optional<double> numberOf(const std::optional<platform::PropertyValue>& value) {
    if (!value) {
        return std::nullopt;
    }
    if (const auto* b = std::get_if<bool>(&*value)) {
        return *b ? 1.0 : 0.0;
    }
    if (const auto* d = std::get_if<double>(&*value)) {
        return *d;
    }
    return std::nullopt;
}

SharedFields& shared() {
    static SharedFields fields;
    return fields;
}

}  // namespace

std::optional<std::string_view> keychainAttrValue(KeychainItemClass itemClass) {
    namespace c = platform::keychainClass;
    switch (itemClass) {
        case KeychainItemClass::GenericPassword:
            return c::genericPassword;
        case KeychainItemClass::InternetPassword:
            return c::internetPassword;
        case KeychainItemClass::Certificate:
            return c::certificate;
        case KeychainItemClass::Key:
            return c::key;
        case KeychainItemClass::Identity:
            return c::identity;
    }
    return std::nullopt;
}

std::optional<std::string_view> keychainAttrValue(KeychainItemAccessibility accessibility) {
    namespace a = platform::keychainAccessible;
    switch (accessibility) {
        case KeychainItemAccessibility::AfterFirstUnlock:
            return a::afterFirstUnlock;
        case KeychainItemAccessibility::AfterFirstUnlockThisDeviceOnly:
            return a::afterFirstUnlockThisDeviceOnly;
        case KeychainItemAccessibility::Always:
            return a::always;
        case KeychainItemAccessibility::WhenPasscodeSetThisDeviceOnly:
            return a::whenPasscodeSetThisDeviceOnly;
        case KeychainItemAccessibility::AlwaysThisDeviceOnly:
            return a::alwaysThisDeviceOnly;
        case KeychainItemAccessibility::WhenUnlocked:
            return a::whenUnlocked;
        case KeychainItemAccessibility::WhenUnlockedThisDeviceOnly:
            return a::whenUnlockedThisDeviceOnly;
    }
    return std::nullopt;
}

KeychainWrapper::KeychainWrapper(std::string serviceName, std::optional<std::string> accessGroup,
                                 std::shared_ptr<platform::KeychainBackend> backend)
    : serviceName_(std::move(serviceName)),
      accessGroup_(std::move(accessGroup)),
      backend_(std::move(backend)) {}

KeychainWrapper KeychainWrapper::defaultKeychainWrapper() {
    auto& fields = shared();
    std::lock_guard lock(fields.mutex);
    return KeychainWrapper(fields.serviceName, fields.accessGroup);
}

std::string KeychainWrapper::defaultServiceName() {
    return std::string(fallbackServiceName);
}

void KeychainWrapper::setDefaultServiceName(std::string serviceName) {
    auto& fields = shared();
    std::lock_guard lock(fields.mutex);
    fields.serviceName = std::move(serviceName);
}

void KeychainWrapper::setDefaultAccessGroup(std::optional<std::string> accessGroup) {
    auto& fields = shared();
    std::lock_guard lock(fields.mutex);
    fields.accessGroup = std::move(accessGroup);
}

std::optional<KeychainQuery> KeychainWrapper::queryForKey(std::string_view key,
                                                          const Options& options) const {
    const KeychainItemOptions chosen = options.value_or(KeychainItemOptions{});
    const auto itemClass = keychainAttrValue(chosen.itemClass);
    const auto accessible = keychainAttrValue(chosen.itemAccessibility);
    if (!itemClass || !accessible) {
        return std::nullopt;
    }
    KeychainQuery query;
    query.itemClass = std::string(*itemClass);
    query.accessible = std::string(*accessible);
    query.service = serviceName_;
    query.accessGroup = accessGroup_;
    query.account = std::string(key);
    query.generic = std::string(key);
    query.unlockIfLocked = chosen.unlockIfLocked;
    return query;
}

std::optional<KeychainData> KeychainWrapper::copy(std::string_view key, const Options& options,
                                                  KeychainReturn what) const {
    const auto query = queryForKey(key, options);
    if (!query) {
        return std::nullopt;
    }
    auto result = backend_->copyMatching(*query, what);
    if (result.status != keychainSuccess) {
        return std::nullopt;
    }
    return std::move(result.data);
}

platform::KeychainCopyResult KeychainWrapper::lookUp(std::string_view key, Options options) const {
    const auto query = queryForKey(key, options);
    if (!query) {
        return {platform::keychainParam, {}};
    }
    return backend_->copyMatching(*query, KeychainReturn::data);
}

bool KeychainWrapper::hasValueForKey(std::string_view key, Options options) const {
    return dataForKey(key, options).has_value();
}

std::optional<platform::PropertyValue> KeychainWrapper::objectForKey(std::string_view key,
                                                                     Options options) const {
    const auto data = dataForKey(key, options);
    if (!data || data->empty()) {
        return std::nullopt;
    }
    return platform::parseSingleValuePropertyList(
        std::string_view(reinterpret_cast<const char*>(data->data()), data->size()));
}

std::optional<std::int64_t> KeychainWrapper::integerForKey(std::string_view key,
                                                           Options options) const {
    const auto value = objectForKey(key, options);
    if (value) {
        if (const auto* i = std::get_if<std::int64_t>(&*value)) {
            return *i;
        }
    }
    const auto number = numberOf(value);
    // Outside this range (or NaN) the truncated value would not be representable.
    if (!number || !(*number >= -9223372036854775808.0 && *number < 9223372036854775808.0)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(std::trunc(*number));
}

std::optional<double> KeychainWrapper::doubleForKey(std::string_view key, Options options) const {
    const auto value = objectForKey(key, options);
    if (value) {
        if (const auto* i = std::get_if<std::int64_t>(&*value)) {
            return static_cast<double>(*i);
        }
    }
    return numberOf(value);
}

std::optional<float> KeychainWrapper::floatForKey(std::string_view key, Options options) const {
    const auto value = doubleForKey(key, options);
    if (!value) {
        return std::nullopt;
    }
    return static_cast<float>(*value);
}

std::optional<bool> KeychainWrapper::boolForKey(std::string_view key, Options options) const {
    const auto value = objectForKey(key, options);
    if (value) {
        if (const auto* i = std::get_if<std::int64_t>(&*value)) {
            return *i != 0;
        }
    }
    const auto number = numberOf(value);
    if (!number) {
        return std::nullopt;
    }
    return *number != 0.0;
}

std::optional<std::string> KeychainWrapper::stringForKey(std::string_view key,
                                                         Options options) const {
    const auto data = dataForKey(key, options);
    if (!data) {
        return std::nullopt;
    }
    std::string text(data->begin(), data->end());
    if (!platform::isValidUtf8(text)) {
        return std::nullopt;
    }
    return text;
}

std::optional<KeychainData> KeychainWrapper::dataForKey(std::string_view key,
                                                        Options options) const {
    return copy(key, options, KeychainReturn::data);
}

std::optional<KeychainData> KeychainWrapper::dataRefForKey(std::string_view key,
                                                           Options options) const {
    return copy(key, options, KeychainReturn::persistentRef);
}

bool KeychainWrapper::setObject(const platform::PropertyValue& value, std::string_view key,
                                Options options) const {
    // A property-list string is UTF-8 text that ends at its first NUL: refuse what it would cut.
    if (const auto* text = std::get_if<std::string>(&value)) {
        if (text->find('\0') != std::string::npos || !platform::isValidUtf8(*text)) {
            return false;
        }
    }
    const std::string bytes = platform::singleValueBinaryPropertyList(value);
    if (bytes.empty()) {
        return false;
    }
    return setData(KeychainData(bytes.begin(), bytes.end()), key, options);
}

bool KeychainWrapper::setInteger(std::int64_t value, std::string_view key, Options options) const {
    return setObject(value, key, options);
}

bool KeychainWrapper::setFloat(float value, std::string_view key, Options options) const {
    return setObject(static_cast<double>(value), key, options);
}

bool KeychainWrapper::setDouble(double value, std::string_view key, Options options) const {
    return setObject(value, key, options);
}

bool KeychainWrapper::setBool(bool value, std::string_view key, Options options) const {
    return setObject(value, key, options);
}

bool KeychainWrapper::setString(std::string_view value, std::string_view key,
                                Options options) const {
    if (!platform::isValidUtf8(value)) {
        return false;
    }
    return setData(KeychainData(value.begin(), value.end()), key, options);
}

bool KeychainWrapper::setData(const KeychainData& value, std::string_view key,
                              Options options) const {
    const auto query = queryForKey(key, options);
    if (!query) {
        return false;
    }
    const auto status = backend_->add(*query, value);
    if (status == keychainSuccess) {
        return true;
    }
    if (status != keychainDuplicateItem) {
        return false;
    }
    // The update names the item by the same options as the add, so that it can never
    // overwrite an item of another class stored under the same key.
    return backend_->update(*query, value) == keychainSuccess;
}

bool KeychainWrapper::removeObjectForKey(std::string_view key, Options options) const {
    // The given options select the item, so removing one class never deletes another.
    const auto query = queryForKey(key, options);
    return query && backend_->remove(*query) == keychainSuccess;
}

bool KeychainWrapper::removeAllKeys() const {
    KeychainQuery query;
    query.itemClass = std::string(platform::keychainClass::genericPassword);
    query.service = serviceName_;
    query.accessGroup = accessGroup_;
    return backend_->remove(query) == keychainSuccess;
}

void KeychainWrapper::wipeKeychain(const std::shared_ptr<platform::KeychainBackend>& backend) {
    for (const auto itemClass :
         {KeychainItemClass::GenericPassword, KeychainItemClass::InternetPassword,
          KeychainItemClass::Certificate, KeychainItemClass::Key, KeychainItemClass::Identity}) {
        KeychainQuery query;
        query.itemClass = std::string(*keychainAttrValue(itemClass));
        (void)backend->remove(query);  // nothing of that class is not a failure
    }
}

}  // namespace m2
