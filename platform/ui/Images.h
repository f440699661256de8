#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSize>
#include <string>
#include <vector>

namespace m2::platform::ui {

// The program's own pictures, compiled in as SVG and found by name ("lock-16", "note-blue").
// A name with no picture gives a null image, icon or pixmap.

[[nodiscard]] bool hasImageNamed(const std::string& name);
// Every name there is a picture for, sorted.
[[nodiscard]] std::vector<std::string> imageNames();
// The picture's own size; an empty size when there is none.
[[nodiscard]] QSize imageSize(const std::string& name);
// Drawn at the given size (the picture's own size when empty).
[[nodiscard]] QImage imageNamed(const std::string& name, QSize size = {});
[[nodiscard]] QPixmap pixmapNamed(const std::string& name, QSize size = {});
// Drawn sharp at every size a view asks for.
[[nodiscard]] QIcon iconNamed(const std::string& name);

}  // namespace m2::platform::ui
