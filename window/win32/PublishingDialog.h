#pragma once

#include "host/WindowServices.h"
#include "window/Layout.h"
#include "window/win32/Handles.h"
#include "window/win32/KeyboardRouter.h"
#include "window/win32/TreeViewMirror.h"

#include <array>
#include <memory>
#include <string>

namespace window::win32 {

// The publishing window as a real modeless dialog: the two instruction labels, the tree tvwWeb with its
// image list ilWeb, the Close button, and the context menu with "Don't Publish". Created hidden when the
// window loads, so that the fill reaches the real tree; shown when the window is made visible.
//
// Owned by a hidden window of its own, so it has no taskbar button while the editor's window stays
// usable. Every event of the window runs behind one boundary: a failure that ends it is shown in a
// message box owned by the window, and nothing escapes into the platform's window procedure.
class PublishingDialog {
  public:
    explicit PublishingDialog(host::WindowEvents& events);
    ~PublishingDialog();
    PublishingDialog(const PublishingDialog&) = delete;
    PublishingDialog& operator=(const PublishingDialog&) = delete;

    // Null once destroyed.
    HWND window() const { return dialog_; }
    // The window and its controls go; the object stays until the next load replaces it, so that a
    // Close handled inside the window's own procedure can destroy the window safely.
    void destroy();

    void show();
    void hide();
    void bringToFront();

    // The context menu at a point in twips from the tree's top left corner; true when "Don't Publish"
    // was chosen.
    bool popUpMenu(bool noPublishChecked, float x, float y);

    // A message box owned by the window, titled "Varnook".
    void showFailure(const std::string& message);

  private:
    static INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    template <class Handler> void event(Handler&& handler) noexcept;

    void createControls();
    // Sizes the labels to their text, the window to its controls.
    void placeControls(const std::array<HWND, layout::Controls.size()>& controls);
    static int textHeight(HWND label, int width);
    // The tree's context menu asked for at a point of its client area.
    void onContextMenu(POINT at);
    int shiftState() const;
    layout::Rect toPixels(const layout::Rect& twips) const;
    int toPixelsX(double twips) const;
    int toPixelsY(double twips) const;
    float toTwipsX(int pixels) const;
    float toTwipsY(int pixels) const;

    host::WindowEvents& events_;
    int dpiX_ = 96, dpiY_ = 96;
    UniqueWindow owner_;
    HWND dialog_ = nullptr;
    HWND tree_ = nullptr;
    UniqueIcon smallIcon_;
    UniqueIcon bigIcon_;
    UniqueImageList images_;
    std::unique_ptr<TreeViewMirror> mirror_;
    std::unique_ptr<KeyboardRouter> router_;
    bool shownOnce_ = false;
};

} // namespace window::win32
