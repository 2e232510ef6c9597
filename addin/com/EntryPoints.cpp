// The server's four exported functions, as the platform's COM runtime and regsvr32 call them.

#include "Varnook3.h"
#include "addin/com/ConnectObject.h"
#include "addin/com/Registration.h"
#include "addin/com/ServerModule.h"
#include "host/automation/Com.h"
#include "host/automation/ComObject.h"

#include <objbase.h>

namespace {

// One factory for the life of the server; its locks keep the server loaded.
class ConnectFactory final
    : public host::automation::ComObject<ConnectFactory, host::automation::ObjectLifetime::Static,
                                         IClassFactory> {
  public:
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
            addin::com::serverObjectCreated();
        else
            addin::com::serverObjectDestroyed();
        return S_OK;
    }
};

ConnectFactory factory;

} // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_Connect))
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
