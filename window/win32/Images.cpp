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

UniqueIcon makeIcon(const Pixels& pixels) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = ImageSize;
    info.bmiHeader.biHeight = -ImageSize; // top-down, as the pixels are stored
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap colour(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!colour || bits == nullptr)
        throw host::Failure("cannot create the bitmap of an image");

    // One bit per pixel, rows padded to 16 bits: set where the picture is transparent.
    constexpr int maskStride = 2;
    std::vector<BYTE> mask(maskStride * ImageSize, 0);
    auto* out = static_cast<DWORD*>(bits);
    for (int y = 0; y < ImageSize; ++y) {
        for (int x = 0; x < ImageSize; ++x) {
            const Rgba p = pixels[static_cast<std::size_t>(y * ImageSize + x)];
            const bool opaque = p.a != 0;
            out[y * ImageSize + x] =
                opaque ? (0xFF000000u | (DWORD{p.r} << 16) | (DWORD{p.g} << 8) | DWORD{p.b}) : 0u;
            if (!opaque)
                mask[static_cast<std::size_t>(y * maskStride + x / 8)] |= static_cast<BYTE>(0x80 >> (x % 8));
        }
    }
    UniqueBitmap maskBitmap(CreateBitmap(ImageSize, ImageSize, 1, 1, mask.data()));
    if (!maskBitmap)
        throw host::Failure("cannot create the mask of an image");

    ICONINFO icon{};
    icon.fIcon = TRUE;
    icon.hbmColor = colour.get();
    icon.hbmMask = maskBitmap.get();
    UniqueIcon made(CreateIconIndirect(&icon));
    if (!made)
        throw host::Failure("cannot create an icon");
    return made;
}

UniqueImageList makeWebImageList() {
    UniqueImageList list(ImageList_Create(ImageSize, ImageSize, ILC_COLOR32 | ILC_MASK,
                                          static_cast<int>(ImageKeys.size()), 0));
    if (!list)
        throw host::Failure("cannot create the image list");
    for (std::string_view key : ImageKeys) {
        const UniqueIcon icon = makeIcon(imagePixels(key));
        if (ImageList_AddIcon(list.get(), icon.get()) < 0)
            throw host::Failure("cannot add the image '" + std::string(key) + "' to the image list");
    }
    return list;
}

int imageIndex(std::string_view key) {
    const auto it = std::find(ImageKeys.begin(), ImageKeys.end(), key);
    return it == ImageKeys.end() ? -1 : static_cast<int>(it - ImageKeys.begin());
}

} // namespace window::win32
