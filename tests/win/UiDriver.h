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

// The dialogs of this thread with the given caption, shown or not.
std::vector<HWND> dialogsTitled(const wchar_t* caption);

// A person at the machine: `work` (real input, reading what appears) runs on a thread of its own while
// this thread runs the loop; true when it finished in time. The loop runs a little longer, so that what
// the input set off has happened when this returns.
bool asUser(const std::function<void()>& work, DWORD timeoutMs = 10000);

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
