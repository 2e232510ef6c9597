#include "window/win32/Win32WindowServices.h"

#include "host/automation/Com.h"
#include "window/Layout.h"

namespace window::win32 {

void Win32WindowServices::load(host::WindowEvents& events) {
    // A dialog of an earlier load was destroyed already; its object goes now, outside its procedure.
    dialog_.reset();
    dialog_ = std::make_unique<PublishingDialog>(events);
}

void Win32WindowServices::unload() {
    if (dialog_)
        dialog_->destroy();
}

void Win32WindowServices::show() {
    if (dialog_)
        dialog_->show();
}

void Win32WindowServices::hide() {
    if (dialog_)
        dialog_->hide();
}

void Win32WindowServices::bringToFront() {
    if (dialog_)
        dialog_->bringToFront();
}

bool Win32WindowServices::popUpMenu(bool noPublishChecked, float x, float y) {
    return windowExists() && dialog_->popUpMenu(noPublishChecked, x, y);
}

void Win32WindowServices::messageBox(const std::string& text, const std::string& title, int style) {
    const KeyboardRouter::ModalLoop modal;
    if (MessageBoxW(GetActiveWindow(), host::automation::wide(text).c_str(),
                    host::automation::wide(title).c_str(), static_cast<UINT>(style)) != 0)
        return;
    const DWORD error = GetLastError();
    host::automation::check(error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL, "MessageBox");
}

void Win32WindowServices::reportEventFailure(const std::string& message) {
    if (windowExists())
        dialog_->showFailure(message);
    else
        messageBox(message, std::string(layout::MessageTitle), MB_OK | MB_ICONERROR);
}

} // namespace window::win32
