#pragma once

// clang-format off
#include <windows.h>
// clang-format on

namespace window::win32 {

// While it lives, this thread has the given DPI awareness: the windows it creates keep it, and what it asks
// of windows is measured in it. Windows gives each message the awareness of the window it goes to, but not
// a call of a window's procedure made directly; Windows before 10 1607 has no awareness per thread, and
// there it changes nothing.
class ThreadDpiAwareness {
  public:
    // A null context changes nothing.
    explicit ThreadDpiAwareness(DPI_AWARENESS_CONTEXT context);
    ~ThreadDpiAwareness();
    ThreadDpiAwareness(const ThreadDpiAwareness&) = delete;
    ThreadDpiAwareness& operator=(const ThreadDpiAwareness&) = delete;

    // The window's own awareness; null before Windows 10 1607.
    static DPI_AWARENESS_CONTEXT ofWindow(HWND window);

  private:
    DPI_AWARENESS_CONTEXT previous_ = nullptr;
};

} // namespace window::win32
