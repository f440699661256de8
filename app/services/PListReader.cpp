#include "app/services/PListReader.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <system_error>

#include "platform/AtomicWrite.h"
#include "platform/Paths.h"
#include "platform/StoredFile.h"

namespace fs = std::filesystem;

namespace m2 {
namespace {

constexpr const char* kStoreName = "Morvane2";

// Every read and every read-modify-write of the settings file runs under this lock, so two
// threads setting different keys never drop each other's value.
std::mutex& storeMutex() {
    static std::mutex mutex;
    return mutex;
}

// The settings are a few kilobytes; anything near this is not a settings file.
constexpr std::uint64_t kMaximumSettingsBytes = 16u << 20;

std::optional<std::string> readWholeFile(const fs::path& path) {
    platform::StoredFileContents contents = platform::readStoredFile(path, kMaximumSettingsBytes);
    if (contents.outcome != platform::StoredFileOutcome::read) {
        return std::nullopt;
    }
    return std::move(contents.bytes);
}

// "<name>.plist.unreadable-2026-12-10-21-15-30": the local date and time the file was set
// aside, so that the copies of several damages each keep their own name.
std::string datedAsideSuffix() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64] = {};
    std::strftime(text, sizeof text, ".unreadable-%Y-%m-%d-%H-%M-%S", &local);
    return text;
}

// Moves a damaged settings file aside and seeds a fresh one; the name it was kept under,
// absent when it could not be moved (then it stays, and is never written over).
std::optional<fs::path> setAsideAndReseed(const std::string& name) {
    const fs::path path = platform::baseFolderText() + name + ".plist";
    const auto aside = platform::moveStoredFileAside(path, datedAsideSuffix());
    if (!aside) {
        std::printf("The settings file %s cannot be read or moved aside (%s).\n", path.c_str(),
                    std::strerror(errno));
        return std::nullopt;
    }
    std::printf(
        "The settings file %s could not be read; it was moved to %s and the settings "
        "start again from their defaults.\n",
        path.c_str(), aside->c_str());
    (void)PListReader::open(name);
    return aside;
}

}  // namespace

PListReader::PListReader(std::string name, fs::path destPath)
    : name_(std::move(name)), destPath_(std::move(destPath)) {}

std::optional<PListReader> PListReader::open(const std::string& name) {
    PListReader reader(name, platform::baseFolderText() + name + ".plist");
    std::error_code ec;
    if (fs::exists(reader.destPath_, ec)) {
        return reader;
    }
    if (const auto folder = platform::ensureBaseFolder(); !folder) {
        std::printf("%s\n", folder.message.c_str());
        return std::nullopt;
    }
    if (const auto written = platform::writeFileAtomically(reader.destPath_, settingsSeed());
        !written) {
        std::printf("Unable to copy file. ERROR: %s\n", written.message.c_str());
        return std::nullopt;
    }
    return reader;
}

std::optional<platform::PropertyList> PListReader::getValuesInPlistFile() const {
    return getMutablePlistFile();
}

std::optional<platform::PropertyList> PListReader::getMutablePlistFile() const {
    const auto bytes = readWholeFile(destPath_);
    if (!bytes) {
        return std::nullopt;
    }
    return platform::PropertyList::parse(*bytes);
}

std::optional<PListReader::PlistError> PListReader::addValuesToPlistFile(
    const platform::PropertyList& dictionary) const {
    std::error_code ec;
    if (!fs::exists(destPath_, ec)) {
        return PlistError::FileDoesNotExist;
    }
    if (const auto written = platform::writeFileAtomically(destPath_, dictionary.toXml());
        !written) {
        std::printf("File not written successfully: %s\n", written.message.c_str());
        return PlistError::FileNotWritten;
    }
    return std::nullopt;
}

std::optional<platform::PropertyValue> PListReader::getValueForKey(const std::string& key) {
    const std::lock_guard lock(storeMutex());
    const auto store = open(kStoreName);
    if (!store) {
        return std::nullopt;
    }
    const auto dictionary = store->getMutablePlistFile();
    if (!dictionary) {
        return std::nullopt;  // unreadable: every property reads its default
    }
    return dictionary->value(key);
}

void PListReader::setValueForKey(const std::string& key, const platform::PropertyValue& value) {
    const std::lock_guard lock(storeMutex());
    auto store = open(kStoreName);
    if (!store) {
        return;
    }
    auto dictionary = store->getMutablePlistFile();
    if (!dictionary) {
        // Keep the damaged file for the user to inspect instead of overwriting it.
        if (!setAsideAndReseed(kStoreName)) {
            std::printf("The setting \"%s\" was not saved.\n", key.c_str());
            return;
        }
        store = open(kStoreName);
        dictionary = store ? store->getMutablePlistFile() : std::nullopt;
        if (!dictionary) {
            return;
        }
    }
    dictionary->set(key, value);
    if (const auto error = store->addValuesToPlistFile(*dictionary)) {
        std::printf("%s\n",
                    *error == PlistError::FileDoesNotExist ? "FileDoesNotExist" : "FileNotWritten");
    }
}

std::optional<std::filesystem::path> PListReader::setAsideIfDamaged() {
    const std::lock_guard lock(storeMutex());
    const fs::path path = platform::baseFolderText() + kStoreName + ".plist";
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return std::nullopt;  // none yet: the first use seeds it
    }
    const auto bytes = readWholeFile(path);
    if (bytes && platform::PropertyList::parse(*bytes)) {
        return std::nullopt;
    }
    return setAsideAndReseed(kStoreName);
}

}  // namespace m2
