#include "app/library/CloudType.h"

#include "app/services/Settings.h"

namespace m2 {
namespace {

struct Texts {
    const char* label;
    const char* image;
    const char* id;
};

// In raw-value order.
constexpr std::array<Texts, 5> kTexts{{
    {"Cloud", "cloud", "11246706-5AA1-4E12-AAB1-38250F613EE4"},
    {"Dropbox", "dropbox", "11D10A16-5AA1-4E12-AAB1-38250F613EE4"},
    {"Dropbox for Business", "dropbox", "12D10A16-5AA1-4E12-AAB2-38250F613EE4"},
    {"iCloud", "iCloud", "13D10A16-5AA1-4E12-AAB3-38250F613EE4"},
    {"Google Drive", "googledrive", "23330A16-5AA1-4E12-AAB3-34567F613EE4"},
}};

// The Settings accessors of one provider.
struct SettingsPair {
    bool (Settings::*included)() const;
    void (Settings::*setIncluded)(bool) const;
    std::string (Settings::*path)() const;
    void (Settings::*setPath)(const std::string&) const;
};

std::optional<SettingsPair> settingsOf(CloudType::Value value) {
    switch (value) {
        case CloudType::DropBox:
            return SettingsPair{&Settings::DropboxIncluded, &Settings::setDropboxIncluded,
                                &Settings::DropboxPath, &Settings::setDropboxPath};
        case CloudType::DropBoxBusiness:
            return SettingsPair{&Settings::DropboxBusnessIncluded,
                                &Settings::setDropboxBusnessIncluded,
                                &Settings::DropboxBusinessPath, &Settings::setDropboxBusinessPath};
        case CloudType::iCloud:
            return SettingsPair{&Settings::iCloudIncluded, &Settings::setiCloudIncluded,
                                &Settings::iCloudPath, &Settings::setiCloudPath};
        case CloudType::GoogleDrive:
            return SettingsPair{&Settings::GoogleDriveIncluded, &Settings::setGoogleDriveIncluded,
                                &Settings::GoogleDrivePath, &Settings::setGoogleDrivePath};
        case CloudType::CloudRoot:
            break;
    }
    return std::nullopt;
}

}  // namespace

std::optional<CloudType> CloudType::fromRawValue(int rawValue) {
    if (rawValue < CloudRoot || rawValue > GoogleDrive) {
        return std::nullopt;
    }
    return CloudType(static_cast<Value>(rawValue));
}

std::string CloudType::label() const {
    return kTexts[static_cast<std::size_t>(value_)].label;
}

std::string CloudType::image() const {
    return kTexts[static_cast<std::size_t>(value_)].image;
}

std::string CloudType::id() const {
    return kTexts[static_cast<std::size_t>(value_)].id;
}

bool CloudType::included() const {
    const auto pair = settingsOf(value_);
    return pair && (Settings::instance().*(pair->included))();
}

void CloudType::included(bool value) const {
    if (const auto pair = settingsOf(value_)) {
        (Settings::instance().*(pair->setIncluded))(value);
    }
}

std::string CloudType::cloudPath() const {
    const auto pair = settingsOf(value_);
    return pair ? (Settings::instance().*(pair->path))() : std::string();
}

void CloudType::cloudPath(const std::string& path) const {
    if (const auto pair = settingsOf(value_)) {
        (Settings::instance().*(pair->setPath))(path);
    }
}

}  // namespace m2
