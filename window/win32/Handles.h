#pragma once

// Owning handles for the few GDI and USER objects the window makes.

// clang-format off
#include <windows.h>
// clang-format on

#include <commctrl.h>
#include <memory>
#include <type_traits>

namespace window::win32 {

namespace detail {
struct IconCloser {
    void operator()(HICON icon) const noexcept { DestroyIcon(icon); }
};
struct ImageListCloser {
    void operator()(HIMAGELIST list) const noexcept { ImageList_Destroy(list); }
};
struct MenuCloser {
    void operator()(HMENU menu) const noexcept { DestroyMenu(menu); }
};
struct GdiCloser {
    void operator()(HGDIOBJ object) const noexcept { DeleteObject(object); }
};
struct WindowCloser {
    void operator()(HWND window) const noexcept { DestroyWindow(window); }
};
} // namespace detail

using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, detail::IconCloser>;
using UniqueImageList = std::unique_ptr<std::remove_pointer_t<HIMAGELIST>, detail::ImageListCloser>;
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, detail::MenuCloser>;
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, detail::GdiCloser>;
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, detail::WindowCloser>;

// The module (DLL or program) that holds this code: the owner of the windows it creates.
HINSTANCE thisModule();

} // namespace window::win32
