#pragma once

// Owning handles for the few GDI and USER objects the window makes.

#include "host/Ownership.h"

// clang-format off
#include <windows.h>
// clang-format on

#include <commctrl.h>

namespace window::win32 {

using UniqueIcon = host::UniqueHandle<HICON, DestroyIcon>;
using UniqueImageList = host::UniqueHandle<HIMAGELIST, ImageList_Destroy>;
using UniqueMenu = host::UniqueHandle<HMENU, DestroyMenu>;
using UniqueBitmap = host::UniqueHandle<HBITMAP, DeleteObject>;
using UniqueWindow = host::UniqueHandle<HWND, DestroyWindow>;

// A window's device context, released to that window when done.
class WindowDc {
  public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_ != nullptr)
            ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

  private:
    HWND window_;
    HDC dc_;
};

// The module (DLL or program) that holds this code: the owner of the windows it creates.
HINSTANCE thisModule();

} // namespace window::win32
