#include "app/services/Settings.h"

#include <cmath>
#include <limits>
#include <optional>
#include <string_view>
#include <variant>

#include "app/services/PListReader.h"

namespace m2 {
namespace {

using platform::PropertyValue;

// Booleans and integers are both numbers in a property list, so each reads as the other
// (as a number object would); a string never reads as a number, nor a number as a string.
bool readBool(const char* key, bool fallback) {
    const auto value = PListReader::getValueForKey(key);
    if (!value) {
        return fallback;
    }
    if (const auto* b = std::get_if<bool>(&*value)) {
        return *b;
    }
    if (const auto* i = std::get_if<std::int64_t>(&*value)) {
        return *i != 0;
    }
    if (const auto* d = std::get_if<double>(&*value)) {
        return *d != 0.0;
    }
    return fallback;
}

// The numbers a setting allows; anything else reads as the default. The idle time-out is
// -1 (never) or a count of seconds: below that, the session would lock again at every turn.
// The settings sheet checks the period index it reads itself.
bool allowedNumber(std::string_view key, std::int64_t value) {
    return key != "timeoutIntervalKey" || value >= -1;
}

std::optional<std::int64_t> storedInt(const char* key) {
    const auto value = PListReader::getValueForKey(key);
    if (!value) {
        return std::nullopt;
    }
    if (const auto* i = std::get_if<std::int64_t>(&*value)) {
        return *i;
    }
    if (const auto* b = std::get_if<bool>(&*value)) {
        return *b ? 1 : 0;
    }
    if (const auto* d = std::get_if<double>(&*value)) {
        constexpr double limit = 9223372036854775808.0;  // 2^63
        if (std::isfinite(*d) && *d >= -limit && *d < limit) {
            return static_cast<std::int64_t>(*d);
        }
    }
    return std::nullopt;
}

std::int64_t readInt(const char* key, std::int64_t fallback) {
    const std::optional<std::int64_t> stored = storedInt(key);
    return stored && allowedNumber(key, *stored) ? *stored : fallback;
}

std::string readString(const char* key) {
    const auto value = PListReader::getValueForKey(key);
    if (value) {
        if (const auto* s = std::get_if<std::string>(&*value)) {
            return *s;
        }
    }
    return {};
}

void write(const char* key, PropertyValue value) {
    PListReader::setValueForKey(key, value);
}

}  // namespace

Settings& Settings::instance() {
    static Settings settings;  // initialised once, safely under concurrent first use
    return settings;
}

// Every property once: its kind, name, key and default. Expands to the accessors below and
// to the seed that a new settings file starts from.
#define M2_SETTINGS(X)                                                      \
    X(STRING, NotesPath, "notesPathKey", std::string())                     \
    X(BOOL, FirstRun, "firstRun", true)                                     \
    X(BOOL, DatabaseSetup, "databaseSetupKey", false)                       \
    X(INT, TimeOutInterval, "timeoutIntervalKey", std::int64_t{-1})         \
    X(INT, TimeoutPeriod, "timeoutPeriodKey", std::int64_t{0})              \
    X(BOOL, SingleSignOn, "singleSignOnKey", true)                          \
    X(BOOL, DropboxIncluded, "dropboxIncludedKey", false)                   \
    X(STRING, DropboxPath, "dropboxPathKey", std::string())                 \
    X(BOOL, DropboxBusnessIncluded, "dropboxBusnessIncludedKey", false)     \
    X(STRING, DropboxBusinessPath, "dropboxBusinessPathKey", std::string()) \
    X(BOOL, iCloudIncluded, "iCloudIncludedKey", false)                     \
    X(STRING, iCloudPath, "iCloudPathKey", std::string())                   \
    X(BOOL, GoogleDriveIncluded, "GoogleDriveIncludedKey", false)           \
    X(STRING, GoogleDrivePath, "GoogleDrivePathKey", std::string())         \
    X(BOOL, MonitorCloudFolders, "monitorCloudFoldersRealTimeKey", true)    \
    X(BOOL, EncryptFilenames, "EncryptFilenamesKey", false)                 \
    X(BOOL, HideFileExtensions, "HideFileExtensionsKey", false)

#define M2_ACCESSORS_BOOL(Name, key, fallback)   \
    bool Settings::Name() const {                \
        return readBool(key, fallback);          \
    }                                            \
    void Settings::set##Name(bool value) const { \
        write(key, value);                       \
    }
#define M2_ACCESSORS_INT(Name, key, fallback)            \
    std::int64_t Settings::Name() const {                \
        return readInt(key, fallback);                   \
    }                                                    \
    void Settings::set##Name(std::int64_t value) const { \
        write(key, value);                               \
    }
#define M2_ACCESSORS_STRING(Name, key, fallback)               \
    std::string Settings::Name() const {                       \
        return readString(key);                                \
    }                                                          \
    void Settings::set##Name(const std::string& value) const { \
        write(key, value);                                     \
    }
#define M2_ACCESSORS(kind, Name, key, fallback) M2_ACCESSORS_##kind(Name, key, fallback)

M2_SETTINGS(M2_ACCESSORS)

const std::string& settingsSeed() {
    static const std::string seed = [] {
        platform::PropertyList list;
#define M2_SEED(kind, Name, key, fallback) list.set(key, PropertyValue(fallback));
        M2_SETTINGS(M2_SEED)
#undef M2_SEED
        return list.toXml();
    }();
    return seed;
}

#undef M2_ACCESSORS
#undef M2_ACCESSORS_BOOL
#undef M2_ACCESSORS_INT
#undef M2_ACCESSORS_STRING
#undef M2_SETTINGS

}  // namespace m2
