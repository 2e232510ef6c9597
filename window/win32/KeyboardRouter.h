#pragma once

// clang-format off
#include <windows.h>
// clang-format on

namespace window::win32 {

// A modeless dialog inside a message loop that is not ours: the editor's loop never calls
// IsDialogMessage, so Tab, Enter, Space and Escape would do nothing in the window. While it lives, a
// thread hook sees each message the loop takes and hands the dialog's keyboard messages to
// IsDialogMessage first. It stands aside while a menu or a message box runs a modal loop of its own on
// the thread, whose keys are theirs.
class KeyboardRouter {
  public:
    explicit KeyboardRouter(HWND dialog);
    ~KeyboardRouter();
    KeyboardRouter(const KeyboardRouter&) = delete;
    KeyboardRouter& operator=(const KeyboardRouter&) = delete;

    // Held while this window runs a modal loop of its own (its pop-up menu, a message box).
    class ModalLoop {
      public:
        ModalLoop();
        ~ModalLoop();
        ModalLoop(const ModalLoop&) = delete;
        ModalLoop& operator=(const ModalLoop&) = delete;
    };

  private:
    static LRESULT CALLBACK onGetMessage(int code, WPARAM wParam, LPARAM lParam);
    HHOOK hook_ = nullptr;
};

} // namespace window::win32
