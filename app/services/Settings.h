#pragma once

#include <cstdint>
#include <string>

namespace m2 {

// The user's settings, each a typed view of one key of the settings property list. Nothing
// is cached: every get reads the file and every set rewrites it (see PListReader). A missing
// key, an unreadable file or a value of another type reads as the default.
class Settings {
  public:
    [[nodiscard]] static Settings& instance();

    [[nodiscard]] std::string NotesPath() const;  // "notesPathKey", ""
    void setNotesPath(const std::string& value) const;
    [[nodiscard]] bool FirstRun() const;  // "firstRun", true
    void setFirstRun(bool value) const;
    [[nodiscard]] bool DatabaseSetup() const;  // "databaseSetupKey", false
    void setDatabaseSetup(bool value) const;
    [[nodiscard]] std::int64_t TimeOutInterval() const;  // "timeoutIntervalKey", -1 (never)
    void setTimeOutInterval(std::int64_t value) const;
    [[nodiscard]] std::int64_t TimeoutPeriod() const;  // "timeoutPeriodKey", 0
    void setTimeoutPeriod(std::int64_t value) const;
    [[nodiscard]] bool SingleSignOn() const;  // "singleSignOnKey", true
    void setSingleSignOn(bool value) const;
    [[nodiscard]] bool DropboxIncluded() const;  // "dropboxIncludedKey", false
    void setDropboxIncluded(bool value) const;
    [[nodiscard]] std::string DropboxPath() const;  // "dropboxPathKey", ""
    void setDropboxPath(const std::string& value) const;
    [[nodiscard]] bool DropboxBusnessIncluded() const;  // "dropboxBusnessIncludedKey", false
    void setDropboxBusnessIncluded(bool value) const;
    [[nodiscard]] std::string DropboxBusinessPath() const;  // "dropboxBusinessPathKey", ""
    void setDropboxBusinessPath(const std::string& value) const;
    [[nodiscard]] bool iCloudIncluded() const;  // "iCloudIncludedKey", false
    void setiCloudIncluded(bool value) const;
    [[nodiscard]] std::string iCloudPath() const;  // "iCloudPathKey", ""
    void setiCloudPath(const std::string& value) const;
    [[nodiscard]] bool GoogleDriveIncluded() const;  // "GoogleDriveIncludedKey", false
    void setGoogleDriveIncluded(bool value) const;
    [[nodiscard]] std::string GoogleDrivePath() const;  // "GoogleDrivePathKey", ""
    void setGoogleDrivePath(const std::string& value) const;
    [[nodiscard]] bool MonitorCloudFolders() const;  // "monitorCloudFoldersRealTimeKey", true
    void setMonitorCloudFolders(bool value) const;
    [[nodiscard]] bool EncryptFilenames() const;  // "EncryptFilenamesKey", false
    void setEncryptFilenames(bool value) const;
    [[nodiscard]] bool HideFileExtensions() const;  // "HideFileExtensionsKey", false
    void setHideFileExtensions(bool value) const;

  private:
    Settings() = default;
};

}  // namespace m2
