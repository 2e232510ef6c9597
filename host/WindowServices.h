#pragma once

#include <string>

namespace host {

class TreeModel;

// What a front end's window hands back to the window's logic: its tree, and the events of its controls
// that have handlers.
class WindowEvents {
  public:
    virtual TreeModel& tree() = 0;
    // A mouse button released over the tree (2: the right one); the pointer in twips from the tree's
    // top left corner.
    virtual void tvwWeb_MouseUp(int button, int shift, float x, float y) = 0;
    // "Close" pressed, or the window's close box.
    virtual void cmdClose_Click() = 0;

  protected:
    ~WindowEvents() = default;
};

// What the publishing window asks of its platform: the window itself, its modal pop-up menu and the
// modal message box. The headless, terminal and Win32 front ends each supply one.
class WindowServices {
  public:
    virtual ~WindowServices() = default;

    // Loading builds the window and its controls, not yet shown; a real tree control mirrors
    // events.tree() from here on, so the fill that follows reaches it. Unloading destroys them.
    virtual void load(WindowEvents& /*events*/) {}
    virtual void unload() {}

    // Shows the loaded window (modeless, no owner).
    virtual void show() = 0;
    // Removes the window from the screen; its controls are destroyed by the caller.
    virtual void hide() = 0;
    // The window is shown already and is asked for again: it comes to the front as it is.
    virtual void bringToFront() {}

    // Pops up the context menu with its one item "Don't Publish", checked or not, at the pointer.
    // Modal: returns true when the user chose the item, false when the menu was dismissed.
    virtual bool popUpMenu(bool noPublishChecked, float x, float y) = 0;

    // A modal message box; style as the platform's (48: OK button with the exclamation icon).
    virtual void messageBox(const std::string& text, const std::string& title, int style) = 0;

    // An error ended an event of the window. Front ends with an event boundary of their own (a status
    // line, a command's exit status) report it there and need nothing here; the Win32 window shows it in
    // a message box it owns, as the platform's runtime does for an error that ends an event handler.
    virtual void reportEventFailure(const std::string& /*message*/) {}
};

} // namespace host
