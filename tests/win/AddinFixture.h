#pragma once

// The real Varnook3.dll loaded and registered as an installed add-in is, and one add-in object created
// by ProgID as the editor creates it, for the tests that drive the DLL.

#include "TestHost.h"
#include "Varnook3.h"
#include "WinSupport.h"

#include <gtest/gtest.h>
#include <memory>

namespace testwin {

using namespace testhost;
using namespace winsupport;

// The identities as the editor knows them, not taken from the generated header.
constexpr CLSID ConnectClass = {0xF3FD10DA, 0xE249, 0x4A6A, {0x96, 0xDD, 0xE6, 0x68, 0xF4, 0xE7, 0x5E, 0xBB}};
constexpr IID ExtensibilityIid = {
    0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};
constexpr IID ConnectIid = {0xE86BCA65, 0x1BA2, 0x4E53, {0x93, 0x74, 0x16, 0xFD, 0xFE, 0x23, 0x9A, 0xF5}};
constexpr DISPID FpAppId = 0x40030002;

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
