#include "window/win32/Images.h"

#include "host/Failure.h"
#include "window/ImageKeys.h"

#include <algorithm>
#include <vector>

namespace window::win32 {

HINSTANCE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

namespace {

// Pictures side by side in one colour bitmap and one mask (one bit a pixel, set where a picture is
// transparent), as an icon and an image list take them.
struct Strip {
    UniqueBitmap colour;
    UniqueBitmap mask;
};

// The pictures are all of the first one's size.
Strip makeStrip(const std::vector<Pixels>& pictures) {
    const int side = pictures.at(0).size;
    const int width = side * static_cast<int>(pictures.size());
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -side; // top-down, as the pixels are stored
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Strip strip;
    strip.colour.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!strip.colour || bits == nullptr)
        throw host::Failure("cannot create the bitmap of the images");

    // Rows of the mask are padded to 16 bits.
    const int maskStride = (width + 15) / 16 * 2;
    std::vector<BYTE> mask(static_cast<std::size_t>(maskStride * side), 0);
    auto* out = static_cast<DWORD*>(bits);
    for (std::size_t k = 0; k < pictures.size(); ++k) {
        const Pixels& pixels = pictures[k];
        if (pixels.size != side)
            throw host::Failure("the images of one bitmap differ in size");
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const Rgba p = pixels.at(x, y);
                const bool opaque = p.a != 0;
                const int column = static_cast<int>(k) * side + x;
                out[y * width + column] =
                    opaque ? (0xFF000000u | (DWORD{p.r} << 16) | (DWORD{p.g} << 8) | DWORD{p.b}) : 0u;
                if (!opaque)
                    mask[static_cast<std::size_t>(y * maskStride + column / 8)] |=
                        static_cast<BYTE>(0x80 >> (column % 8));
            }
        }
    }
    strip.mask.reset(CreateBitmap(width, side, 1, 1, mask.data()));
    if (!strip.mask)
        throw host::Failure("cannot create the mask of the images");
    return strip;
}

} // namespace

UniqueIcon makeIcon(const Pixels& pixels) {
    const Strip strip = makeStrip({pixels});
    ICONINFO icon{};
    icon.fIcon = TRUE;
    icon.hbmColor = strip.colour.get();
    icon.hbmMask = strip.mask.get();
    UniqueIcon made(CreateIconIndirect(&icon));
    if (!made)
        throw host::Failure("cannot create an icon");
    return made;
}

UniqueImageList makeWebImageList(int size) {
    const int count = static_cast<int>(ImageKeys.size());
    UniqueImageList list(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, count, 0));
    if (!list)
        throw host::Failure("cannot create the image list");
    // Every picture in one strip, added in one call: an icon per picture costs Wine round trips to its
    // server, half the time the window itself takes to open.
    std::vector<Pixels> pictures;
    for (const auto& key : ImageKeys)
        pictures.push_back(imagePixels(key, size));
    const Strip strip = makeStrip(pictures);
    if (ImageList_Add(list.get(), strip.colour.get(), strip.mask.get()) < 0 ||
        ImageList_GetImageCount(list.get()) != count)
        throw host::Failure("cannot add the images to the image list");
    return list;
}

int imageIndex(std::string_view key) {
    const auto it = std::find(ImageKeys.begin(), ImageKeys.end(), key);
    return it == ImageKeys.end() ? -1 : static_cast<int>(it - ImageKeys.begin());
}

} // namespace window::win32
