#include "app/library/FileItem.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>

#include "app/library/FolderItem.h"
#include "app/library/XmlUtils.h"
#include "platform/Uuid.h"

namespace m2 {

FileItem::FileItem() : id(platform::newUuidString()) {}

FileItem::FileItem(std::string absolute, std::string filename, std::string folder, bool encrypted,
                   bool favorite, std::string path, bool cloudFile)
    : fileName(std::move(filename)),
      encrypted(encrypted),
      favorite(favorite),
      filePath(std::move(path)),
      folder(std::move(folder)),
      absolutePath(std::move(absolute)),
      id(platform::newUuidString()),
      cloudFile(cloudFile),
      size("-") {
    const std::string location = filePath + "/" + fileName;
    struct stat info {};
    if (::stat(location.c_str(), &info) == 0) {
        size = convertToFileSize(static_cast<std::int64_t>(info.st_size));
    }
}

FileItem::FileItem(const platform::XmlElement& element) {
    auto text = [&](const char* name, std::string& field) {
        if (auto v = XmlUtils::getAttributeValue(element, name)) {
            field = *v;
        }
    };
    auto flag = [&](const char* name, bool& field) {
        if (auto v = XmlUtils::getAttributeValue(element, name)) {
            field = flagValue(*v);
        }
    };
    text(propertyLabelSize, size);
    text(propertyLabelFileName, fileName);
    flag(propertyLabelEncrypted, encrypted);
    flag(propertyLabelFavorite, favorite);
    text(propertyLabelFilePath, filePath);
    text(propertyLabelFolder, folder);
    text(propertyLabelAbsolutePath, absolutePath);
    text(propertyLabelId, id);
    flag(propertyLabelCloudFile, cloudFile);
}

template <typename Visit>
void FileItem::forEachAttribute(Visit attribute) const {
    attribute(propertyLabelFileName, fileName);
    attribute(propertyLabelEncrypted, flagText(encrypted));
    attribute(propertyLabelFavorite, flagText(favorite));
    attribute(propertyLabelFilePath, filePath);
    attribute(propertyLabelFolder, folder);
    attribute(propertyLabelAbsolutePath, absolutePath);
    attribute(propertyLabelId, id);
    attribute(propertyLabelCloudFile, flagText(cloudFile));
    attribute(propertyLabelSize, size);
}

platform::XmlElement FileItem::xmlElement() const {
    platform::XmlElement element = platform::XmlElement::create(elementName);
    forEachAttribute([&](std::string_view name, std::string_view value) {
        element.addAttribute(XmlUtils::createAttribute(name, value));
    });
    return element;
}

void FileItem::appendXml(std::string& out) const {
    out += '<';
    out += elementName;
    forEachAttribute([&](std::string_view name, std::string_view value) {
        platform::appendXmlAttribute(out, name, value);
    });
    out += "/>";
}

bool FileItem::validate() const {
    return !id.empty() && !fileName.empty() && !filePath.empty() && !absolutePath.empty();
}

std::string convertToFileSize(std::int64_t bytes) {
    if (bytes == 0) {
        return "Zero KB";
    }
    const double magnitude = std::fabs(static_cast<double>(bytes));
    if (magnitude < 1000) {
        return std::to_string(bytes) + (magnitude == 1 ? " byte" : " bytes");
    }
    // Whole kilobytes, one decimal for megabytes, two from gigabytes on; trailing zeros go.
    static const struct {
        const char* unit;
        int decimals;
    } units[] = {{"KB", 0}, {"MB", 1}, {"GB", 2}, {"TB", 2}, {"PB", 2}, {"EB", 2}};
    double value = static_cast<double>(bytes) / 1000;
    std::size_t u = 0;
    for (;;) {
        const double scale = std::pow(10.0, units[u].decimals);
        const double rounded = std::round(value * scale) / scale;
        if (std::fabs(rounded) < 1000 || u + 1 == std::size(units)) {
            value = rounded;
            break;
        }
        value /= 1000;
        ++u;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", units[u].decimals, value);
    std::string number(text);
    if (number.find('.') != std::string::npos) {
        number.erase(number.find_last_not_of('0') + 1);
        if (number.back() == '.') {
            number.pop_back();
        }
    }
    return number + " " + units[u].unit;
}

}  // namespace m2
