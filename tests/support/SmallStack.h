#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace testsupport {

// The stack an editor's GUI thread usually has on Windows, where the add-in's code runs.
inline constexpr std::size_t GuiThreadStackSize = 1024 * 1024;

namespace detail {
struct SmallStackCall {
    const std::function<void()>* body;
    std::exception_ptr failure;
};
inline void runSmallStackCall(void* argument) {
    auto* call = static_cast<SmallStackCall*>(argument);
    try {
        (*call->body)();
    } catch (...) {
        call->failure = std::current_exception();
    }
}
} // namespace detail

// Runs `body` on a new thread with a GUI thread's stack and waits for it; what it throws is thrown here.
// A body that needs more stack than that ends the test program, as it would end the editor.
inline void runOnGuiSizedStack(const std::function<void()>& body) {
    detail::SmallStackCall call{&body, nullptr};
#ifdef _WIN32
    HANDLE thread = CreateThread(
        nullptr, GuiThreadStackSize,
        [](LPVOID argument) -> DWORD {
            detail::runSmallStackCall(argument);
            return 0;
        },
        &call, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr)
        throw std::runtime_error("CreateThread failed");
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
#else
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, GuiThreadStackSize);
    pthread_t thread;
    const int started = pthread_create(
        &thread, &attributes,
        [](void* argument) -> void* {
            detail::runSmallStackCall(argument);
            return nullptr;
        },
        &call);
    pthread_attr_destroy(&attributes);
    if (started != 0)
        throw std::runtime_error("pthread_create failed");
    pthread_join(thread, nullptr);
#endif
    if (call.failure)
        std::rethrow_exception(call.failure);
}

} // namespace testsupport
