#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace window {

struct Rgba {
    std::uint8_t r, g, b, a;
    bool operator==(const Rgba&) const = default;
};

constexpr int ImageSize = 16;

// Row-major, row 0 at the top. Alpha is 0 (transparent) or 255, never between, so that every picture
// maps onto an icon with a one-bit mask.
using Pixels = std::array<Rgba, ImageSize * ImageSize>;

// The picture of an image-list key; throws std::out_of_range for a key not in ImageKeys.
const Pixels& imagePixels(std::string_view key);

// The window's own icon, an emblem of the add-in rather than of any item in the tree.
const Pixels& windowIcon();

// Paints the "Don't Publish" badge, a red disc with a white cross, over the 9x9 square at the bottom
// right (rows and columns 7 to 15); what lies outside the disc is left as it was.
void drawNoPublishBadge(Pixels& pixels);

} // namespace window
