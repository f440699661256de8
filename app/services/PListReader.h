#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/PropertyList.h"

namespace m2 {

// Finds the settings property list "<Documents>/Morvane/<name>.plist", seeds it on first use
// from the copy compiled into the program, and reads or rewrites it whole. The static entry
// points hold one process-wide lock across each read and each read-modify-write.
class PListReader {
  public:
    enum class PlistError { FileNotWritten, FileDoesNotExist };

    // Opens the store, creating its folder and seeding the file when none exists yet. Absent
    // when the folder or the seed cannot be written (the reason is printed).
    [[nodiscard]] static std::optional<PListReader> open(const std::string& name);

    [[nodiscard]] const std::string& name() const { return name_; }
    [[nodiscard]] const std::filesystem::path& destPath() const { return destPath_; }

    // The whole dictionary; absent when the file is missing or does not parse.
    [[nodiscard]] std::optional<platform::PropertyList> getValuesInPlistFile() const;
    [[nodiscard]] std::optional<platform::PropertyList> getMutablePlistFile() const;
    // Replaces the file atomically; on failure the previous content stays on disk.
    [[nodiscard]] std::optional<PlistError> addValuesToPlistFile(
        const platform::PropertyList& dictionary) const;

    // The value under `key` in the "Morvane2" store; absent when the key is missing, the file
    // is unreadable or the store cannot be opened.
    [[nodiscard]] static std::optional<platform::PropertyValue> getValueForKey(
        const std::string& key);
    // Stores `value` under `key`, keeping every other key. A damaged file is first moved
    // aside (as setAsideIfDamaged does) and the store re-seeded. Failures are printed.
    static void setValueForKey(const std::string& key, const platform::PropertyValue& value);
    // At start-up: a "Morvane2" settings file that cannot be read (damaged, too large, too
    // deep, or not a regular file) is renamed to "Morvane2.plist.unreadable-<date and
    // time>" (never over an earlier one) and a file of defaults takes its place. Answers the
    // name it was kept under; absent when the file was fine, missing or could not be moved.
    [[nodiscard]] static std::optional<std::filesystem::path> setAsideIfDamaged();

  private:
    PListReader(std::string name, std::filesystem::path destPath);

    std::string name_;
    std::filesystem::path destPath_;
};

// The property list every new settings file starts from (the defaults of Settings).
[[nodiscard]] const std::string& settingsSeed();

}  // namespace m2
