#pragma once

#include "host/WindowServices.h"

namespace window::win32 {

// The publishing window's platform services inside the Windows add-in. The message box is the real one.
// The dialog itself (TreeView, image list, labels, Close button, context menu) comes with the Win32
// window; until then show() and hide() only keep track of whether the window would be on screen, and
// the context menu is never chosen.
class Win32WindowServices final : public host::WindowServices {
  public:
    void show() override { shown_ = true; }
    void hide() override { shown_ = false; }
    bool popUpMenu(bool noPublishChecked, float x, float y) override;
    void messageBox(const std::string& text, const std::string& title, int style) override;

    bool shown() const { return shown_; }

  private:
    bool shown_ = false;
};

} // namespace window::win32
