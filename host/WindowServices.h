#pragma once

#include <string>

namespace host {

// What the publishing window asks of its platform: the window itself, its modal pop-up menu and the
// modal message box. The headless, terminal and Win32 front ends each supply one.
class WindowServices {
  public:
    virtual ~WindowServices() = default;

    // Shows the loaded window (modeless, no owner).
    virtual void show() = 0;
    // Removes the window from the screen; its controls are destroyed by the caller.
    virtual void hide() = 0;

    // Pops up the context menu with its one item "Don't Publish", checked or not, at the pointer.
    // Modal: returns true when the user chose the item, false when the menu was dismissed.
    virtual bool popUpMenu(bool noPublishChecked, float x, float y) = 0;

    // A modal message box; style as the platform's (48: OK button with the exclamation icon).
    virtual void messageBox(const std::string& text, const std::string& title, int style) = 0;
};

} // namespace host
