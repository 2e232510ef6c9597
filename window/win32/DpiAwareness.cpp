#include "window/win32/DpiAwareness.h"

namespace window::win32 {
namespace {

// Looked up rather than imported, so that the add-in still loads on versions of Windows without them.
template <class Function> Function* user32(const char* name) {
    const HMODULE user = GetModuleHandleW(L"user32.dll");
    if (user == nullptr)
        return nullptr;
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(GetProcAddress(user, name)));
}

using SetContext = DPI_AWARENESS_CONTEXT WINAPI(DPI_AWARENESS_CONTEXT);
using WindowContext = DPI_AWARENESS_CONTEXT WINAPI(HWND);

SetContext* setThreadContext() {
    static SetContext* const function = user32<SetContext>("SetThreadDpiAwarenessContext");
    return function;
}

WindowContext* windowContext() {
    static WindowContext* const function = user32<WindowContext>("GetWindowDpiAwarenessContext");
    return function;
}

} // namespace

ThreadDpiAwareness::ThreadDpiAwareness(DPI_AWARENESS_CONTEXT context) {
    if (context != nullptr && setThreadContext() != nullptr)
        previous_ = setThreadContext()(context);
}

ThreadDpiAwareness::~ThreadDpiAwareness() {
    if (previous_ != nullptr)
        setThreadContext()(previous_);
}

DPI_AWARENESS_CONTEXT ThreadDpiAwareness::ofWindow(HWND window) {
    return windowContext() != nullptr ? windowContext()(window) : nullptr;
}

} // namespace window::win32
