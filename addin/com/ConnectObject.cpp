#include "addin/com/ConnectObject.h"

#include "Varnook3.h"
#include "addin/Connect.h"
#include "addin/com/ServerModule.h"
#include "host/automation/Com.h"
#include "host/automation/ComObject.h"
#include "host/automation/WebObjects.h"

#include <oleauto.h>
#include <wrl/client.h>

namespace addin::com {
namespace {

using host::automation::check;
using Microsoft::WRL::ComPtr;

// IDispatch for one dual interface of the object, described by our own embedded type library.
// One such base per interface keeps each interface's Invoke on its own description.
template <class Dual> class DualInterface : public Dual {
  public:
    using Interface = Dual;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr)
            return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override try {
        if (info == nullptr)
            return E_POINTER;
        *info = nullptr;
        if (index != 0)
            return DISP_E_BADINDEX;
        typeInfo().CopyTo(info);
        return S_OK;
    }
    VARNOOK_CATCH_RETURN()
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
        try {
        return DispGetIDsOfNames(typeInfo().Get(), names, count, ids);
    }
    VARNOOK_CATCH_RETURN()
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argError) override try {
        return DispInvoke(static_cast<Dual*>(this), typeInfo().Get(), id, flags, params, result, exception,
                          argError);
    }
    VARNOOK_CATCH_RETURN()

  protected:
    ~DualInterface() = default;

  private:
    const ComPtr<ITypeInfo>& typeInfo() {
        if (!info_) {
            ComPtr<ITypeLib> library;
            check(LoadTypeLibEx(modulePath().c_str(), REGKIND_NONE, &library), "loading the type library");
            check(library->GetTypeInfoOfGuid(__uuidof(Dual), &info_), "reading the type library");
        }
        return info_;
    }
    ComPtr<ITypeInfo> info_;
};

class ConnectObject final : public host::automation::Implements<ConnectObject, DualInterface<_Connect>,
                                                                DualInterface<IDTExtensibility2>> {
  public:
    ConnectObject() : connect_(addinModule()) {}

    // _Connect: the host application given at connection, as the editor's own interface.
    HRESULT STDMETHODCALLTYPE get_fpApp(_Application** application) override try {
        if (application == nullptr)
            return E_POINTER;
        *application = nullptr;
        if (connect_.fpApp) {
            if (ComPtr<IDispatch> held = host::automation::dispatchOf(*connect_.fpApp))
                check(held->QueryInterface(IID__Application, reinterpret_cast<void**>(application)),
                      "_Connect.fpApp");
        }
        return S_OK;
    }
    VARNOOK_CATCH_RETURN()

    HRESULT STDMETHODCALLTYPE putref_fpApp(_Application* application) override try {
        connect_.fpApp = hostApplication(application);
        return S_OK;
    }
    VARNOOK_CATCH_RETURN()

    // IDTExtensibility2: each event runs the portable add-in's handler.
    HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application, ext_ConnectMode mode, IDispatch*,
                                           SAFEARRAY**) override try {
        connect_.IDTExtensibility2_OnConnection(hostApplication(application), static_cast<int>(mode));
        return S_OK;
    }
    VARNOOK_CATCH_RETURN()

    HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode mode, SAFEARRAY**) override try {
        connect_.IDTExtensibility2_OnDisconnection(static_cast<int>(mode));
        return S_OK;
    }
    VARNOOK_CATCH_RETURN()

    HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY**) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY**) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY**) override { return S_OK; }

  private:
    // The editor's application behind `object`, or null for null. An object that is not the editor's
    // application is refused, as an assignment of the wrong object type would be.
    static std::shared_ptr<host::Application> hostApplication(IUnknown* object) {
        if (object == nullptr)
            return nullptr;
        ComPtr<IDispatch> application;
        check(object->QueryInterface(IID__Application, reinterpret_cast<void**>(application.GetAddressOf())),
              "the host application interface");
        return host::automation::makeApplication(std::move(application));
    }

    addin::Connect connect_;
};

} // namespace

HRESULT createConnect(REFIID iid, void** object) try {
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    ComPtr<_Connect> created = host::automation::adopt<_Connect>(new ConnectObject());
    return created->QueryInterface(iid, object);
}
VARNOOK_CATCH_RETURN()

} // namespace addin::com
