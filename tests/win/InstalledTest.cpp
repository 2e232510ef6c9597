// The add-in as the installer package leaves it (tests/win/msi.sh installs it, then runs this group with
// VARNOOK_INSTALLED_DLL naming the installed DLL): created by ProgID from that DLL, connected with the test
// editor. Without the variable there is nothing installed to test.

#include "AddinIdentity.h"
#include "TestHost.h"
#include "Varnook3.h"
#include "WinSupport.h"
#include "host/automation/Com.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using namespace testhost;
using namespace testwin;

TEST(Installed, TheInstalledDllIsCreatedByProgIdAndConnects) {
    const char* installed = std::getenv("VARNOOK_INSTALLED_DLL");
    if (installed == nullptr)
        GTEST_SKIP() << "run by tests/win/msi.sh with the package installed";

    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"Varnook3.Connect", &clsid), S_OK);
    ASSERT_TRUE(IsEqualCLSID(clsid, ConnectClass));
    ComPtr<IDispatch> addin;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(addin.GetAddressOf())),
              S_OK);

    // The package's copy, not the build's DLL beside this program.
    wchar_t loaded[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(GetModuleHandleW(L"Varnook3.dll"), loaded, MAX_PATH), 0u);
    const std::string expected(installed);
    EXPECT_TRUE(winsupport::samePath(loaded, std::wstring(expected.begin(), expected.end())))
        << host::automation::narrow(loaded);

    auto app = make<Application>();
    ApplicationClass appClass(app);
    ComPtr<IDTExtensibility2> extensibility;
    ASSERT_EQ(addin->QueryInterface(ExtensibilityIid, reinterpret_cast<void**>(extensibility.GetAddressOf())),
              S_OK);
    SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);
    EXPECT_EQ(extensibility->OnConnection(app.Get(), ext_cm_AfterStartup, nullptr, &custom), S_OK);
    Control* popup = app->commandBars->tools().child(L"Talvo");
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(popup->children.size(), 1u);
    EXPECT_EQ(popup->children[0]->caption, L"Varnook 3.0...");
    EXPECT_EQ(extensibility->OnDisconnection(ext_dm_UserClosed, &custom), S_OK);
    SafeArrayDestroy(custom);
}

} // namespace
