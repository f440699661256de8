#include "app/services/PListReader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <system_error>

#include "platform/AtomicWrite.h"
#include "platform/Paths.h"

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

std::optional<std::string> readWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream out;
    out << in.rdbuf();
    if (in.bad()) {
        return std::nullopt;
    }
    return out.str();
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
        const fs::path aside = store->destPath().string() + ".corrupt";
        std::error_code ec;
        fs::rename(store->destPath(), aside, ec);
        if (ec) {
            std::printf(
                "The settings file %s cannot be read or moved aside (%s); the setting "
                "\"%s\" was not saved.\n",
                store->destPath().c_str(), ec.message().c_str(), key.c_str());
            return;
        }
        std::printf(
            "The settings file %s could not be read; it was moved to %s and the "
            "settings start again from their defaults.\n",
            store->destPath().c_str(), aside.c_str());
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

}  // namespace m2
