// The server's four exported functions, as the platform's COM runtime and regsvr32 call them.

#include "addin/com/ConnectObject.h"
#include "addin/com/Registration.h"
#include "addin/com/ServerModule.h"
#include "host/automation/Com.h"

#include <objbase.h>

namespace {

// {F3FD10DA-E249-4A6A-96DD-E668F4E75EBB}
constexpr CLSID ConnectClass = {0xF3FD10DA, 0xE249, 0x4A6A, {0x96, 0xDD, 0xE6, 0x68, 0xF4, 0xE7, 0x5E, 0xBB}};

// One factory for the life of the server; its locks keep the server loaded.
class ConnectFactory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        return addin::com::createConnect(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            host::automation::serverObjectCreated();
        else
            host::automation::serverObjectDestroyed();
        return S_OK;
    }
};

ConnectFactory factory;

} // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, ConnectClass))
        return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() {
    return addin::com::canUnloadNow();
}

STDAPI DllRegisterServer() try {
    addin::com::registerServer(addin::com::systemPlan(addin::com::modulePath()));
    return S_OK;
}
VARNOOK_CATCH_RETURN()

STDAPI DllUnregisterServer() try {
    addin::com::unregisterServer(addin::com::systemPlan(addin::com::modulePath()));
    return S_OK;
}
VARNOOK_CATCH_RETURN()
