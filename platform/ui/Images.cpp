#include "platform/ui/Images.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>
#include <unordered_map>

// The resources live in a static library: naming their initialiser keeps them linked in.
static void initialiseImageResources() {
    Q_INIT_RESOURCE(images);
}

namespace m2::platform::ui {
namespace {

constexpr const char* imageFolder = ":/m2/images/";

QString pathOf(const std::string& name) {
    initialiseImageResources();
    return QString(imageFolder) + QString::fromStdString(name) + ".svg";
}

}  // namespace

bool hasImageNamed(const std::string& name) {
    // A name holding a path separator could reach another resource.
    if (name.empty() || name.find('/') != std::string::npos) {
        return false;
    }
    return QFileInfo::exists(pathOf(name));
}

std::vector<std::string> imageNames() {
    initialiseImageResources();
    std::vector<std::string> names;
    for (const QString& file : QDir(imageFolder).entryList({"*.svg"}, QDir::Files)) {
        names.push_back(file.chopped(4).toStdString());
    }
    std::sort(names.begin(), names.end());
    return names;
}

QSize imageSize(const std::string& name) {
    if (!hasImageNamed(name)) {
        return {};
    }
    return QSvgRenderer(pathOf(name)).defaultSize();
}

QImage imageNamed(const std::string& name, QSize size) {
    if (!hasImageNamed(name)) {
        return {};
    }
    QSvgRenderer renderer(pathOf(name));
    if (!renderer.isValid()) {
        return {};
    }
    if (size.isEmpty()) {
        size = renderer.defaultSize();
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

QPixmap pixmapNamed(const std::string& name, QSize size) {
    const QImage image = imageNamed(name, size);
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

QIcon iconNamed(const std::string& name) {
    // Views ask for a cell's icon on every paint; drawing six sizes from SVG each time made
    // a table's repaint cost tens of milliseconds. Pixmaps live on the main thread only, and
    // so does this cache.
    static std::unordered_map<std::string, QIcon> made;
    if (const auto found = made.find(name); found != made.end()) {
        return found->second;
    }
    if (!hasImageNamed(name)) {
        return {};
    }
    const QSize own = imageSize(name);
    QIcon icon;
    for (const int side : {16, 24, 32, 48, 64, 128}) {
        icon.addPixmap(pixmapNamed(name, own.scaled(side, side, Qt::KeepAspectRatio)));
    }
    made.emplace(name, icon);
    return icon;
}

}  // namespace m2::platform::ui
