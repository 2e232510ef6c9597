#include "window/win32/DpiAwareness.h"

#include "host/automation/Com.h"

namespace window::win32 {
namespace {

using SetContext = DPI_AWARENESS_CONTEXT WINAPI(DPI_AWARENESS_CONTEXT);
using WindowContext = DPI_AWARENESS_CONTEXT WINAPI(HWND);

// Both came with Windows 10 1607.
SetContext* setThreadContext() {
    static SetContext* const function =
        host::automation::systemFunction<SetContext>(L"user32.dll", "SetThreadDpiAwarenessContext");
    return function;
}

WindowContext* windowContext() {
    static WindowContext* const function =
        host::automation::systemFunction<WindowContext>(L"user32.dll", "GetWindowDpiAwarenessContext");
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
