#include <gtest/gtest.h>

#include <filesystem>
#include <unordered_set>

#include "app/library/CloudType.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using m2::CloudType;
using namespace m2::test;

namespace {

TEST(CloudType, RawValuesTextsAndIds) {
    const struct {
        CloudType::Value value;
        const char* label;
        const char* image;
        const char* id;
    } cases[] = {
        {CloudType::CloudRoot, "Cloud", "cloud", "11246706-5AA1-4E12-AAB1-38250F613EE4"},
        {CloudType::DropBox, "Dropbox", "dropbox", "11D10A16-5AA1-4E12-AAB1-38250F613EE4"},
        {CloudType::DropBoxBusiness, "Dropbox for Business", "dropbox",
         "12D10A16-5AA1-4E12-AAB2-38250F613EE4"},
        {CloudType::iCloud, "iCloud", "iCloud", "13D10A16-5AA1-4E12-AAB3-38250F613EE4"},
        {CloudType::GoogleDrive, "Google Drive", "googledrive",
         "23330A16-5AA1-4E12-AAB3-34567F613EE4"},
    };
    int raw = 0;
    std::unordered_set<CloudType> seen;
    for (const auto& c : cases) {
        const auto type = CloudType::fromRawValue(raw);
        ASSERT_TRUE(type.has_value()) << raw;
        EXPECT_EQ(*type, CloudType(c.value));
        EXPECT_EQ(type->rawValue(), raw);
        EXPECT_EQ(type->hashValue(), static_cast<std::size_t>(raw));
        EXPECT_EQ(type->label(), c.label);
        EXPECT_EQ(type->image(), c.image);
        EXPECT_EQ(type->id(), c.id);
        EXPECT_EQ(CloudType::allCases[static_cast<std::size_t>(raw)], c.value);
        seen.insert(*type);
        ++raw;
    }
    EXPECT_EQ(seen.size(), 5u);
    for (const int outside : {-1, 5, 100}) {
        EXPECT_FALSE(CloudType::fromRawValue(outside).has_value()) << outside;
    }
}

class CloudTypeSettings : public testing::Test {
  protected:
    void SetUp() override { m2::platform::setDocumentsFolderOverride(dir_ / "Documents"); }
    void TearDown() override { m2::platform::setDocumentsFolderOverride(std::nullopt); }
    [[nodiscard]] std::string settingsBytes() const {
        const fs::path file = dir_ / "Documents/Morvane/Morvane2.plist";
        return fs::exists(file) ? readFile(file) : std::string();
    }
    [[nodiscard]] m2::platform::PropertyList stored() const {
        return m2::platform::PropertyList::parse(settingsBytes())
            .value_or(m2::platform::PropertyList());
    }

    TempDir dir_;
};

TEST_F(CloudTypeSettings, EachProviderUsesItsOwnKeys) {
    const struct {
        CloudType::Value value;
        const char* includedKey;
        const char* pathKey;
    } cases[] = {
        {CloudType::DropBox, "dropboxIncludedKey", "dropboxPathKey"},
        {CloudType::DropBoxBusiness, "dropboxBusnessIncludedKey", "dropboxBusinessPathKey"},
        {CloudType::iCloud, "iCloudIncludedKey", "iCloudPathKey"},
        {CloudType::GoogleDrive, "GoogleDriveIncludedKey", "GoogleDrivePathKey"},
    };
    for (const auto& c : cases) {
        const CloudType type(c.value);
        EXPECT_FALSE(type.included()) << c.includedKey;
        EXPECT_EQ(type.cloudPath(), "") << c.pathKey;
        const std::string path = std::string("/home/u/") + c.pathKey;
        type.included(true);
        type.cloudPath(path);
        EXPECT_TRUE(type.included());
        EXPECT_EQ(type.cloudPath(), path);
        const auto list = stored();
        EXPECT_EQ(list.value(c.includedKey), m2::platform::PropertyValue(true)) << c.includedKey;
        EXPECT_EQ(list.value(c.pathKey), m2::platform::PropertyValue(path)) << c.pathKey;
    }
    // Each write reached only its own provider.
    EXPECT_EQ(CloudType(CloudType::iCloud).cloudPath(), "/home/u/iCloudPathKey");
    CloudType(CloudType::DropBox).included(false);
    EXPECT_FALSE(CloudType(CloudType::DropBox).included());
    EXPECT_TRUE(CloudType(CloudType::DropBoxBusiness).included());
}

TEST_F(CloudTypeSettings, CloudRootHasNoSettings) {
    CloudType(CloudType::DropBox).included(true);
    const std::string before = settingsBytes();
    const CloudType root(CloudType::CloudRoot);
    root.included(true);
    root.cloudPath("/somewhere");
    EXPECT_EQ(settingsBytes(), before);
    EXPECT_FALSE(root.included());
    EXPECT_EQ(root.cloudPath(), "");
}

}  // namespace
