#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace window {

struct Rgba {
    std::uint8_t r, g, b, a;
    bool operator==(const Rgba&) const = default;
};

// The side of the pictures as drawn, and as shown at 96 dots per inch.
constexpr int ImageSize = 16;

// The side the tree's pictures and the window's small icon take on a screen of this many dots per inch:
// 16 at 96, 20 at 120, 24 at 144, 32 at 192; never less than 16.
int imageSizeAt(int dpi);

// A square picture, row-major, row 0 at the top. Alpha is 0 (transparent) or 255, never between, so that
// every picture maps onto an icon with a one-bit mask.
struct Pixels {
    int size;
    std::vector<Rgba> rgba;

    explicit Pixels(int side = ImageSize) : size(side), rgba(static_cast<std::size_t>(side * side)) {}
    Rgba& at(int x, int y) { return rgba[static_cast<std::size_t>(y * size + x)]; }
    Rgba at(int x, int y) const { return rgba[static_cast<std::size_t>(y * size + x)]; }
    bool operator==(const Pixels&) const = default;
};

// The picture of an image-list key, size pixels square; throws std::out_of_range for a key not in
// ImageKeys. Larger sizes scale the drawing by whole pixels, the same at both ends of a row, so its
// outlines stay sharp and as thin as the size allows; the badge of a marked key is drawn at the size.
Pixels imagePixels(std::string_view key, int size = ImageSize);

// The window's own icon, an emblem of the add-in rather than of any item in the tree.
Pixels windowIcon(int size = ImageSize);

// Paints the "Don't Publish" badge, a red disc with a white cross, over the square at the bottom right,
// 9 pixels of 16 (rows and columns 7 to 15) and as much of any other size; what lies outside the disc is
// left as it was.
void drawNoPublishBadge(Pixels& pixels);

} // namespace window
