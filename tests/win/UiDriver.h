#pragma once

// Driving real windows as a person would: real input (SendInput) from a second thread while the test
// thread runs a plain message loop, as the editor's loop is (no IsDialogMessage of its own).

#include <functional>
#include <string>
#include <vector>
#include <windows.h>

namespace uidriver {

// The editor's loop: takes and dispatches every message until `done` holds or the time is up; true
// when `done` held.
bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);
void pumpFor(DWORD ms);

// Runs `work` on a thread of its own; the destructor waits for it.
class Background {
  public:
    explicit Background(std::function<void()> work);
    ~Background();
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;
    bool done() const { return WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0; }

  private:
    static DWORD WINAPI run(void* self);
    std::function<void()> work_;
    HANDLE thread_ = nullptr;
};

// Waits (on the calling thread, without pumping) until `found` gives a window, or null after the time.
HWND waitForWindow(const std::function<HWND()>& found, DWORD timeoutMs = 5000);

// Real input.
void rightClickAt(POINT screen);
void leftClickAt(POINT screen);
// A key with the given modifier keys held (VK_SHIFT, VK_CONTROL, VK_MENU).
void pressKey(WORD key, const std::vector<WORD>& modifiers = {});

// The pop-up menu on screen, if any, and what it shows.
HWND visibleMenuWindow();
struct MenuItem {
    std::wstring text;
    bool checked = false;
    bool enabled = true;
};
std::vector<MenuItem> menuItems(HWND menuWindow);

} // namespace uidriver
