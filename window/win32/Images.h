#pragma once

#include "window/Images.h"
#include "window/win32/Handles.h"

#include <string_view>

namespace window::win32 {

// An icon of the picture, at its size: colour plus a one-bit mask for its transparent pixels.
UniqueIcon makeIcon(const Pixels& pixels);

// ilWeb: the window's 27 images in the order of their keys, each size pixels square, 32-bit with a mask,
// so that index n-1 is the n-th key.
UniqueImageList makeWebImageList(int size);

// The image-list index of a key, or -1 for a key the list lacks.
int imageIndex(std::string_view key);

} // namespace window::win32
