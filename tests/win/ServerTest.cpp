// The real Varnook3.dll driven as the editor drives it: created by ProgID, connected with the test host's
// application, its button clicked through the connection point, disconnected, released and unloaded.

#include "AddinFixture.h"

#include <gtest/gtest.h>

namespace {

using namespace testhost;
using namespace testwin;
using namespace winsupport;

std::string narrowText(const std::wstring& s) {
    return host::automation::narrow(s);
}

class ServerEntryPoints : public Server {};

TEST_F(ServerEntryPoints, HandsOutOnlyTheConnectClass) {
    ComPtr<IClassFactory> factory;
    CLSID other{};
    CLSIDFromString(L"{00000000-1111-2222-3333-444444444444}", &other);
    EXPECT_EQ(getClassObject(other, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory.Get(), nullptr);

    ComPtr<IUnknown> unknown;
    EXPECT_EQ(getClassObject(ConnectClass, IID_IUnknown, reinterpret_cast<void**>(unknown.GetAddressOf())),
              S_OK);
    ASSERT_EQ(
        getClassObject(ConnectClass, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())),
        S_OK);
    ComPtr<IDispatch> notAFactory;
    EXPECT_EQ(
        getClassObject(ConnectClass, IID_IDispatch, reinterpret_cast<void**>(notAFactory.GetAddressOf())),
        E_NOINTERFACE);

    ComPtr<IUnknown> aggregated;
    EXPECT_EQ(factory->CreateInstance(unknown.Get(), IID_IUnknown,
                                      reinterpret_cast<void**>(aggregated.GetAddressOf())),
              CLASS_E_NOAGGREGATION);
}

TEST_F(ServerEntryPoints, UnloadableOnlyWithNoObjectAndNoLock) {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(
        getClassObject(ConnectClass, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())),
        S_OK);
    EXPECT_EQ(canUnloadNow(), S_OK);

    factory->LockServer(TRUE);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    factory->LockServer(FALSE);
    EXPECT_EQ(canUnloadNow(), S_OK);

    ComPtr<IDispatch> object;
    ASSERT_EQ(
        factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(object.GetAddressOf())),
        S_OK);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    ComPtr<IDTExtensibility2> second;
    ASSERT_EQ(object->QueryInterface(ExtensibilityIid, reinterpret_cast<void**>(second.GetAddressOf())),
              S_OK);
    object.Reset();
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    second.Reset();
    EXPECT_EQ(canUnloadNow(), S_OK);
}

// A failure returned through IDispatch: directly, or raised as an exception carrying it.
HRESULT statusOf(HRESULT hr, EXCEPINFO& info) {
    if (hr != DISP_E_EXCEPTION)
        return hr;
    if (info.pfnDeferredFillIn != nullptr)
        info.pfnDeferredFillIn(&info);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    return info.scode;
}

TEST_F(ServerAddin, FpAppRoundTripsThroughIDispatch) {
    LPOLESTR name = const_cast<LPOLESTR>(L"fpApp");
    DISPID id = 0;
    ASSERT_EQ(addin->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, FpAppId);

    auto get = [&](Variant& out) {
        DISPPARAMS none{};
        return addin->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, out.put(),
                             nullptr, nullptr);
    };
    auto putref = [&](IDispatch* value) {
        Variant arg = Variant::dispatch(value);
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&arg.get(), &named, 1, 1};
        EXCEPINFO info{};
        const HRESULT hr = addin->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUTREF, &params,
                                         nullptr, &info, nullptr);
        return statusOf(hr, info);
    };

    Variant before;
    ASSERT_EQ(get(before), S_OK);
    EXPECT_TRUE(before.type() == VT_DISPATCH && before.get().pdispVal == nullptr)
        << "nothing is held before connection";

    const ULONG baseline = app->refs();
    ASSERT_EQ(putref(app.Get()), S_OK);
    Variant held;
    ASSERT_EQ(get(held), S_OK);
    ASSERT_EQ(held.type(), VT_DISPATCH);
    EXPECT_EQ(held.get().pdispVal, static_cast<IDispatch*>(app.Get()));
    held = Variant();

    // The same property through the vtable of _Connect.
    ComPtr<_Connect> connect;
    ASSERT_EQ(addin->QueryInterface(ConnectIid, reinterpret_cast<void**>(connect.GetAddressOf())), S_OK);
    ComPtr<_Application> viaVtable;
    ASSERT_EQ(connect->get_fpApp(viaVtable.GetAddressOf()), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(viaVtable.Get()),
              static_cast<IUnknown*>(static_cast<IDispatch*>(app.Get())));
    viaVtable.Reset();

    // Only the editor's application can be assigned.
    auto stranger = make<HostObject>(L"NotTheEditor");
    EXPECT_EQ(putref(stranger.Get()), E_NOINTERFACE);

    ASSERT_EQ(putref(nullptr), S_OK);
    Variant after;
    ASSERT_EQ(get(after), S_OK);
    EXPECT_EQ(after.get().pdispVal, nullptr);
    EXPECT_EQ(app->refs(), baseline);
}

TEST_F(ServerAddin, ConnectionAddsThePopupAndItsButtonToTools) {
    ASSERT_EQ(connect(app.Get()), S_OK);

    ASSERT_EQ(tools.children.size(), 1u);
    Control& menu = *tools.children[0].Get();
    EXPECT_EQ(menu.type, 10);
    EXPECT_EQ(menu.caption, L"&Talvo Add-ins");
    EXPECT_EQ(menu.tag, L"TALVO");
    EXPECT_EQ(menu.parameter, L"TALVO");

    ASSERT_EQ(menu.children.size(), 1u);
    Control& button = *menu.children[0].Get();
    EXPECT_EQ(button.type, 1);
    EXPECT_EQ(button.caption, L"Varnook 3.0...");
    EXPECT_EQ(button.parameter, L"Varnook3");
    EXPECT_EQ(button.sinkCount(), 1u);

    for (Control* added : {&menu, &button}) {
        ASSERT_EQ(added->addArgs.size(), 5u);
        for (std::size_t omitted : {1u, 3u}) { // Id and Before
            EXPECT_EQ(added->addArgs[omitted].type(), VT_ERROR);
            EXPECT_EQ(added->addArgs[omitted].get().scode, DISP_E_PARAMNOTFOUND);
        }
        EXPECT_EQ(added->addArgs[4].type(), VT_BOOL); // Temporary
        EXPECT_EQ(added->addArgs[4].get().boolVal, VARIANT_TRUE);
    }

    // fpApp holds the application given at connection.
    ComPtr<_Connect> connectItf;
    ASSERT_EQ(addin->QueryInterface(ConnectIid, reinterpret_cast<void**>(connectItf.GetAddressOf())), S_OK);
    ComPtr<_Application> held;
    ASSERT_EQ(connectItf->get_fpApp(held.GetAddressOf()), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(held.Get()), static_cast<IUnknown*>(static_cast<IDispatch*>(app.Get())));
    held.Reset();
    connectItf.Reset();

    ASSERT_EQ(extensibility->OnDisconnection(ext_dm_UserClosed, &custom), S_OK);
}

TEST_F(ServerAddin, TheEditorsWholeSessionReleasesEverything) {
    const ULONG appBaseline = app->refs();
    const ULONG barsBaseline = app->commandBars->refs();
    const ULONG toolsBaseline = tools.refs();

    ASSERT_EQ(connect(app.Get()), S_OK);
    ComPtr<Control> menu = tools.children.at(0);
    ComPtr<Control> button = menu->children.at(0);
    EXPECT_EQ(extensibility->OnStartupComplete(&custom), S_OK);
    EXPECT_EQ(extensibility->OnAddInsUpdate(&custom), S_OK);

    {
        // No web open: the launch command's one message.
        MessageBoxWatcher boxes;
        VARIANT_BOOL cancel = VARIANT_FALSE;
        EXPECT_EQ(button->click(&cancel), std::vector<HRESULT>{S_OK});
        EXPECT_EQ(cancel, VARIANT_FALSE);
        ASSERT_EQ(boxes.boxes().size(), 1u);
        const auto& box = boxes.boxes()[0];
        EXPECT_EQ(box.title, L"Varnook");
        EXPECT_EQ(box.text, L"You must open a Web before using Varnook.");
        EXPECT_TRUE(box.exclamationIcon);
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    }
    {
        // A web open: the window loads, walking the web, and no message appears.
        ComPtr<Web> web = sampleWeb();
        app->activeWeb = web;
        MessageBoxWatcher boxes;
        EXPECT_EQ(button->click(), std::vector<HRESULT>{S_OK});
        EXPECT_TRUE(boxes.boxes().empty())
            << (boxes.boxes().empty() ? "" : narrowText(boxes.boxes()[0].text));
        EXPECT_GE(web->calls(L"RootFolder"), 1);
        EXPECT_GE(web->root->filesAsked, 1);
        EXPECT_GE(web->root->folders[1]->filesAsked, 1) << "the fill reaches the files of sub-folders";
        EXPECT_GE(app->calls(L"MakeRel"), 4);
        app->activeWeb.Reset();
        EXPECT_EQ(web->refs(), 1u) << "the window keeps no web object";
    }

    EXPECT_EQ(extensibility->OnBeginShutdown(&custom), S_OK);
    ASSERT_EQ(extensibility->OnDisconnection(ext_dm_HostShutdown, &custom), S_OK);
    EXPECT_TRUE(menu->deleted);
    EXPECT_TRUE(tools.children.empty());
    EXPECT_EQ(button->sinkCount(), 0u) << "the click subscription ended";
    EXPECT_TRUE(button->click().empty());

    extensibility.Reset();
    addin.Reset();
    EXPECT_EQ(canUnloadNow(), S_OK);
    EXPECT_EQ(app->refs(), appBaseline);
    EXPECT_EQ(app->commandBars->refs(), barsBaseline);
    EXPECT_EQ(tools.refs(), toolsBaseline);
    EXPECT_EQ(menu->refs(), 1u);
    menu.Reset(); // it held its button
    EXPECT_EQ(button->refs(), 1u);
}

TEST_F(ServerAddin, AnObjectThatIsNotTheEditorIsRefused) {
    auto stranger = make<HostObject>(L"NotTheEditor");
    EXPECT_EQ(connect(stranger.Get()), E_NOINTERFACE);
    EXPECT_EQ(connect(nullptr), static_cast<HRESULT>(0x800A005B)) << "object variable not set";
    EXPECT_TRUE(tools.children.empty());
    EXPECT_EQ(stranger->refs(), 1u);
}

TEST_F(ServerAddin, AFailingHostCallEndsTheEventWithItsStatus) {
    const HRESULT refused = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 1004);
    app->commandBars->failNext(L"Item", refused);
    EXPECT_EQ(connect(app.Get()), refused);
    EXPECT_TRUE(tools.children.empty());

    // A click that fails (the global application cannot be created) hands its status back to the host.
    ASSERT_EQ(connect(app.Get()), S_OK);
    Control& button = *tools.children.at(0)->children.at(0).Get();
    appClass.reset();
    MessageBoxWatcher boxes;
    const auto results = button.click();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(FAILED(results[0]));
    EXPECT_TRUE(boxes.boxes().empty());
    appClass = std::make_unique<ApplicationClass>(app);
    ASSERT_EQ(extensibility->OnDisconnection(ext_dm_UserClosed, &custom), S_OK);
}

} // namespace
