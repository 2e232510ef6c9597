#include "addin/com/ServerModule.h"

#include "host/automation/Com.h"
#include "host/automation/ComObject.h"
#include "host/automation/WebObjects.h"
#include "window/win32/Win32WindowServices.h"

#include <objbase.h>
#include <utility>
#include <wrl/client.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace addin::com {
namespace {

// The editor's Application class. {04DF1015-7007-11D1-83BC-006097ABE675}
constexpr CLSID HostApplicationClass = {
    0x04DF1015, 0x7007, 0x11D1, {0x83, 0xBC, 0x00, 0x60, 0x97, 0xAB, 0xE6, 0x75}};

std::unique_ptr<host::Application> createHostApplication() {
    Microsoft::WRL::ComPtr<IDispatch> application;
    host::automation::check(
        CoCreateInstance(HostApplicationClass, nullptr, CLSCTX_SERVER, IID_PPV_ARGS(&application)),
        "creating the editor's Application object");
    return host::automation::makeApplication(std::move(application));
}

struct ModuleState {
    window::win32::Win32WindowServices services;
    addin::AddinModule module{createHostApplication, services};
};

LONG liveObjects = 0;

long liveServerObjects() noexcept {
    return InterlockedCompareExchange(&liveObjects, 0, 0);
}

[[maybe_unused]] const bool objectsCounted = [] {
    host::automation::countObjectsWith({serverObjectCreated, serverObjectDestroyed});
    return true;
}();

// Dropped by canUnloadNow(), not by a static destructor: at process exit the host's objects may already
// be gone, and releasing them then would call into freed code.
ModuleState* state = nullptr;

} // namespace

void serverObjectCreated() noexcept {
    InterlockedIncrement(&liveObjects);
}

void serverObjectDestroyed() noexcept {
    InterlockedDecrement(&liveObjects);
}

HMODULE moduleHandle() {
    return reinterpret_cast<HMODULE>(&__ImageBase);
}

std::wstring modulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(moduleHandle(), path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            host::automation::check(HRESULT_FROM_WIN32(GetLastError()), "GetModuleFileName");
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

addin::AddinModule& addinModule() {
    if (state == nullptr)
        state = new ModuleState();
    return state->module;
}

HRESULT canUnloadNow() {
    // An open window runs this server's code: it stays loaded until the window is closed.
    if (liveServerObjects() != 0 || (state != nullptr && state->services.windowExists()))
        return S_FALSE;
    delete std::exchange(state, nullptr);
    return S_OK;
}

} // namespace addin::com
