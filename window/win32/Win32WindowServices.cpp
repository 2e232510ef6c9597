#include "window/win32/Win32WindowServices.h"

#include "host/automation/Com.h"

namespace window::win32 {

bool Win32WindowServices::popUpMenu(bool /*noPublishChecked*/, float /*x*/, float /*y*/) {
    // No menu can be shown without the dialog it belongs to (it comes with the Win32 window): dismissed.
    return false;
}

void Win32WindowServices::messageBox(const std::string& text, const std::string& title, int style) {
    // Owned by no window: the editor's main window is not ours to disable.
    if (MessageBoxW(nullptr, host::automation::wide(text).c_str(), host::automation::wide(title).c_str(),
                    static_cast<UINT>(style)) != 0)
        return;
    const DWORD error = GetLastError();
    host::automation::check(error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL, "MessageBox");
}

} // namespace window::win32
