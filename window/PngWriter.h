#pragma once

#include "window/Images.h"

#include <filesystem>

namespace window {

// Writes the picture as an 8-bit RGBA PNG file. The file appears whole or not at all: on failure it
// throws std::runtime_error and leaves `path` as it was.
void writePng(const Pixels& pixels, const std::filesystem::path& path);

// Writes every image of the image list as DIR/<key>.png and the window's icon as DIR/icon.png, creating
// DIR if needed.
void writeAllPngs(const std::filesystem::path& dir);

} // namespace window
