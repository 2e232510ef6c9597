#include "window/win32/KeyboardRouter.h"

#include "host/Failure.h"

namespace window::win32 {
namespace {

// One publishing window per thread: the hook and the window it serves.
thread_local HWND routedDialog = nullptr;
thread_local int modalLoops = 0;

bool isKeyboardMessage(UINT message) {
    return message >= WM_KEYFIRST && message <= WM_KEYLAST;
}

// A menu tracks its own keys, whoever opened it (ours, the window menu, or the editor's).
bool menuIsOpen() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetCurrentThreadId(), &info) &&
           (info.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE)) != 0;
}

} // namespace

KeyboardRouter::KeyboardRouter(HWND dialog) {
    hook_ = SetWindowsHookExW(WH_GETMESSAGE, onGetMessage, nullptr, GetCurrentThreadId());
    if (hook_ == nullptr)
        throw host::Failure("cannot route the window's keys (SetWindowsHookEx failed)");
    routedDialog = dialog;
}

KeyboardRouter::~KeyboardRouter() {
    routedDialog = nullptr;
    UnhookWindowsHookEx(hook_);
}

KeyboardRouter::ModalLoop::ModalLoop() {
    ++modalLoops;
}

KeyboardRouter::ModalLoop::~ModalLoop() {
    --modalLoops;
}

LRESULT CALLBACK KeyboardRouter::onGetMessage(int code, WPARAM wParam, LPARAM lParam) {
    // Only a message the loop takes off the queue (not a peek that leaves it there).
    if (code == HC_ACTION && wParam == PM_REMOVE && routedDialog != nullptr && modalLoops == 0) {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        const HWND dialog = routedDialog;
        if (isKeyboardMessage(msg->message) && msg->hwnd != nullptr &&
            (msg->hwnd == dialog || IsChild(dialog, msg->hwnd)) && !menuIsOpen() &&
            IsDialogMessageW(dialog, msg)) {
            // Handled (and dispatched) by the dialog manager: the loop gets nothing to dispatch again.
            msg->message = WM_NULL;
            msg->wParam = 0;
            msg->lParam = 0;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace window::win32
