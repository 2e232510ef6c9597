#pragma once

// The real Varnook3.dll loaded and registered as an installed add-in is, and one add-in object created
// by ProgID as the editor creates it, for the tests that drive the DLL.

#include "AddinIdentity.h"
#include "TestHost.h"
#include "Varnook3.h"
#include "WinSupport.h"

#include <gtest/gtest.h>
#include <memory>

namespace testwin {

using namespace testhost;
using namespace winsupport;

using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNow = HRESULT(WINAPI*)();
using RegisterServer = HRESULT(WINAPI*)();

// The DLL loaded and registered for the suite, as an installed add-in is.
class Server : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        dll = LoadLibraryW(dllPath().c_str());
        ASSERT_NE(dll, nullptr);
        getClassObject = reinterpret_cast<GetClassObject>(
            reinterpret_cast<void (*)()>(GetProcAddress(dll, "DllGetClassObject")));
        canUnloadNow = reinterpret_cast<CanUnloadNow>(
            reinterpret_cast<void (*)()>(GetProcAddress(dll, "DllCanUnloadNow")));
        auto registerServer = reinterpret_cast<RegisterServer>(
            reinterpret_cast<void (*)()>(GetProcAddress(dll, "DllRegisterServer")));
        ASSERT_TRUE(getClassObject && canUnloadNow && registerServer);
        ASSERT_EQ(registerServer(), S_OK);
    }
    static void TearDownTestSuite() {
        auto unregisterServer = reinterpret_cast<RegisterServer>(
            reinterpret_cast<void (*)()>(GetProcAddress(dll, "DllUnregisterServer")));
        EXPECT_EQ(unregisterServer(), S_OK);
        FreeLibrary(dll);
    }

    static inline HMODULE dll = nullptr;
    static inline GetClassObject getClassObject = nullptr;
    static inline CanUnloadNow canUnloadNow = nullptr;
};

// The add-in object itself, created by ProgID through the registration.
class ServerAddin : public Server {
  protected:
    ComPtr<Application> app = make<Application>();
    std::unique_ptr<ApplicationClass> appClass = std::make_unique<ApplicationClass>(app);
    Control& tools = app->commandBars->tools();
    SAFEARRAY* custom = nullptr;

    void SetUp() override {
        custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(L"Varnook3.Connect", &clsid), S_OK);
        ASSERT_TRUE(IsEqualCLSID(clsid, ConnectClass));
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                   reinterpret_cast<void**>(addin.GetAddressOf())),
                  S_OK);
        ASSERT_EQ(
            addin->QueryInterface(ExtensibilityIid, reinterpret_cast<void**>(extensibility.GetAddressOf())),
            S_OK);
    }
    void TearDown() override {
        extensibility.Reset();
        addin.Reset();
        SafeArrayDestroy(custom);
        EXPECT_EQ(canUnloadNow(), S_OK) << "every object of the server is released";
    }

    HRESULT connect(IDispatch* application) {
        return extensibility->OnConnection(application, ext_cm_AfterStartup, nullptr, &custom);
    }

    Control* popup() { return tools.child(L"Talvo"); }

    ComPtr<IDispatch> addin;
    ComPtr<IDTExtensibility2> extensibility;
};

} // namespace testwin
