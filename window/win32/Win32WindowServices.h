#pragma once

#include "host/WindowServices.h"
#include "window/win32/PublishingDialog.h"

#include <memory>

namespace window::win32 {

// The publishing window's platform inside the Windows add-in: the real dialog, its context menu, and
// the platform's message boxes.
class Win32WindowServices final : public host::WindowServices {
  public:
    void load(host::WindowEvents& events) override;
    void unload() override;
    void show() override;
    void hide() override;
    void bringToFront() override;
    bool popUpMenu(bool noPublishChecked, float x, float y) override;
    // Owned by the thread's active window (the editor's), which stays disabled while the box is up.
    void messageBox(const std::string& text, const std::string& title, int style) override;
    void reportEventFailure(const std::string& message) override;

    // The dialog exists (loaded, shown or not): the server must stay loaded.
    bool windowExists() const { return dialog_ && dialog_->window() != nullptr; }

  private:
    std::unique_ptr<PublishingDialog> dialog_;
};

} // namespace window::win32
