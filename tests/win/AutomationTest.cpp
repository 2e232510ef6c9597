// The IDispatch adapters over the test host, in process: what the core asks becomes the editor's
// members called by name, with the editor's argument conventions.

#include "TestHost.h"
#include "host/Failure.h"
#include "host/automation/CommandBarObjects.h"
#include "host/automation/Dispatch.h"
#include "host/automation/WebObjects.h"

#include <gtest/gtest.h>

namespace {

using namespace testhost;
using host::Value;

class AutomationWeb : public testing::Test {
  protected:
    ComPtr<Application> app = make<Application>();
    ComPtr<Web> web = sampleWeb();
    std::unique_ptr<host::Application> adapter = host::automation::makeApplication(app);

    void SetUp() override { app->activeWeb = web; }
};

TEST_F(AutomationWeb, NoActiveWebIsNoneWhetherEmptyOrNothing) {
    app->activeWeb.Reset();
    EXPECT_EQ(adapter->activeWeb(), nullptr);

    auto bare = make<HostObject>(L"Application");
    bare->getter(L"ActiveWeb", [] { return object(nullptr); });
    EXPECT_EQ(host::automation::makeApplication(bare)->activeWeb(), nullptr);

    bare = make<HostObject>(L"Application");
    bare->getter(L"ActiveWeb", [] { return text(L"not a web"); });
    try {
        host::automation::makeApplication(bare)->activeWeb();
        FAIL() << "a text is not a web";
    } catch (const host::Failure& failure) {
        EXPECT_EQ(failure.status(), static_cast<std::int32_t>(DISP_E_TYPEMISMATCH));
        EXPECT_NE(std::string(failure.what()).find("Application.ActiveWeb"), std::string::npos)
            << failure.what();
    }
}

TEST_F(AutomationWeb, WalksFoldersAndFilesInHostOrder) {
    auto w = adapter->activeWeb();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->url(), "http://localhost/web");
    auto root = w->rootFolder();
    EXPECT_EQ(root->url(), "http://localhost/web");

    auto files = root->files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0]->url(), "http://localhost/web/index.htm");
    EXPECT_EQ(files[0]->extension(), "htm");

    auto folders = root->folders();
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0]->url(), "http://localhost/web/images");
    EXPECT_EQ(folders[1]->url(), "http://localhost/web/private");
    auto inner = folders[1]->files();
    ASSERT_EQ(inner.size(), 1u);
    EXPECT_EQ(inner[0]->extension(), "txt");
    EXPECT_TRUE(folders[1]->folders().empty());
}

TEST_F(AutomationWeb, HomePageIsTheHomeNavigationNodesUrlOrNone) {
    auto w = adapter->activeWeb();
    EXPECT_EQ(w->homePageUrl(), std::optional<std::string>("http://localhost/web/index.htm"));
    web->homePage.clear();
    EXPECT_EQ(w->homePageUrl(), std::nullopt);
}

TEST_F(AutomationWeb, LocateTriesFilesThenFolders) {
    auto w = adapter->activeWeb();
    auto file = w->locate("http://localhost/web/images/logo.gif");
    ASSERT_NE(file, nullptr);
    EXPECT_NE(dynamic_cast<host::File*>(file.get()), nullptr);
    EXPECT_EQ(web->calls(L"LocateFolder"), 0);

    auto folder = w->locate("http://localhost/web/images");
    ASSERT_NE(folder, nullptr);
    EXPECT_NE(dynamic_cast<host::Folder*>(folder.get()), nullptr);
    EXPECT_EQ(folder->url(), "http://localhost/web/images");

    EXPECT_EQ(w->locate("http://localhost/web/missing"), nullptr);
    EXPECT_EQ(web->calls(L"LocateFile"), 3);
    EXPECT_EQ(web->calls(L"LocateFolder"), 2);
}

TEST_F(AutomationWeb, MakeRelGetsTheFolderObjectItselfAsBase) {
    auto w = adapter->activeWeb();
    auto root = w->rootFolder();
    auto folders = root->folders();
    EXPECT_EQ(adapter->relativeUrl(*folders[0], "http://localhost/web/images/logo.gif"), "logo.gif");
    EXPECT_EQ(app->lastMakeRelBase, static_cast<IDispatch*>(web->root->folders[0].Get()));
    EXPECT_EQ(adapter->relativeUrl(*root, "http://localhost/web/images"), "images");
}

TEST_F(AutomationWeb, PropertyValuesConvertFromEveryVariantKind) {
    Properties& props = *web->root->files[0]->properties.Get();
    props.values[L"empty"] = Variant();
    props.values[L"null"] = Variant::null();
    props.values[L"yes"] = Variant::boolean(true);
    props.values[L"no"] = Variant::boolean(false);
    props.values[L"long"] = Variant::int32(-7);
    props.values[L"double"] = Variant::number(2.5);
    props.values[L"text"] = text(L"True");
    Variant shortInt;
    shortInt.get().vt = VT_I2;
    shortInt.get().iVal = 12;
    props.values[L"short"] = shortInt;

    auto p = adapter->activeWeb()->rootFolder()->files()[0]->properties();
    EXPECT_EQ(p->item("empty"), Value::empty());
    EXPECT_EQ(p->item("absent"), Value::empty());
    EXPECT_EQ(p->item("null"), Value::null());
    EXPECT_EQ(p->item("yes"), Value::boolean(true));
    EXPECT_EQ(p->item("no"), Value::boolean(false));
    EXPECT_EQ(p->item("long"), Value::number(-7));
    EXPECT_EQ(p->item("double"), Value::number(2.5));
    EXPECT_EQ(p->item("short"), Value::number(12));
    EXPECT_EQ(p->item("text"), Value::text("True"));

    props.values[L"object"] = object(web.Get());
    EXPECT_THROW(p->item("object"), host::Failure);
}

TEST_F(AutomationWeb, SetRemoveApplyReachTheCollection) {
    Properties& props = *web->root->folders[1]->properties.Get();
    auto folders = adapter->activeWeb()->rootFolder()->folders();
    auto p = folders[1]->properties();

    p->set("vti_donotpublish", Value::boolean(true));
    ASSERT_EQ(props.values.count(L"vti_donotpublish"), 1u);
    const VARIANT& stored = props.values[L"vti_donotpublish"].get();
    EXPECT_EQ(stored.vt, VT_BOOL);
    EXPECT_EQ(stored.boolVal, VARIANT_TRUE);

    p->set("title", Value::text("Private"));
    EXPECT_EQ(props.values[L"title"].type(), VT_BSTR);
    EXPECT_EQ(textOf(props.values[L"title"]), L"Private");

    p->remove("vti_donotpublish");
    EXPECT_EQ(props.values.count(L"vti_donotpublish"), 0u);
    EXPECT_EQ(props.applied, 0);
    p->apply();
    EXPECT_EQ(props.applied, 1);

    try {
        p->remove("vti_donotpublish");
        FAIL() << "removing an absent property fails";
    } catch (const host::Failure& failure) {
        EXPECT_EQ(failure.status(), static_cast<std::int32_t>(MAKE_HRESULT(1, FACILITY_CONTROL, 5)));
        EXPECT_NE(std::string(failure.what()).find("Properties.Delete"), std::string::npos) << failure.what();
        EXPECT_NE(std::string(failure.what()).find("no such property"), std::string::npos) << failure.what();
    }
}

TEST_F(AutomationWeb, AFailingMemberThrowsItsStatusNamingTheMember) {
    web->root->failNext(L"Files", E_ACCESSDENIED);
    auto root = adapter->activeWeb()->rootFolder();
    try {
        root->files();
        FAIL() << "the host's failure reaches the core";
    } catch (const host::Failure& failure) {
        EXPECT_EQ(failure.status(), static_cast<std::int32_t>(E_ACCESSDENIED));
        EXPECT_NE(std::string(failure.what()).find("WebFolder.Files"), std::string::npos) << failure.what();
    }
    // An unknown member is the host's own answer, with the member named.
    auto bare = make<HostObject>(L"Application");
    try {
        host::automation::makeApplication(bare)->activeWeb();
        FAIL() << "a missing member fails";
    } catch (const host::Failure& failure) {
        EXPECT_EQ(failure.status(), static_cast<std::int32_t>(DISP_E_UNKNOWNNAME));
        EXPECT_NE(std::string(failure.what()).find("Application.ActiveWeb"), std::string::npos)
            << failure.what();
    }
}

TEST_F(AutomationWeb, EachNameIsResolvedOncePerObjectAndObjectsAreReleased) {
    const ULONG rootRefs = web->root->refs();
    {
        auto root = adapter->activeWeb()->rootFolder();
        root->url();
        root->url();
        root->files();
        root->files();
        EXPECT_EQ(web->root->lookups(L"Url"), 1);
        EXPECT_EQ(web->root->calls(L"Url"), 2);
        EXPECT_EQ(web->root->lookups(L"Files"), 1);
        EXPECT_GT(web->root->refs(), rootRefs);
    }
    EXPECT_EQ(web->root->refs(), rootRefs);
    EXPECT_EQ(web->refs(), 2u); // the test's and the application's
}

class AutomationCommandBars : public testing::Test {
  protected:
    ComPtr<Application> app = make<Application>();
    std::unique_ptr<host::Application> adapter = host::automation::makeApplication(app);
    Control& tools = app->commandBars->tools();

    std::unique_ptr<host::CommandBarControl> toolsControl() {
        return adapter->commandBars()->item("menu bar")->controls()->item(Value::text("Tools"));
    }
};

TEST_F(AutomationCommandBars, ControlsByNameByPositionAndInOrder) {
    auto menu = adapter->commandBars()->item("Menu Bar")->controls();
    auto list = menu->list();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0]->caption(), "&File");
    EXPECT_EQ(list[3]->caption(), "&Tools");
    EXPECT_EQ(menu->item(Value::number(2))->caption(), "&Edit");
    EXPECT_EQ(menu->item(Value::text("tools"))->type(), 10);
    EXPECT_THROW(menu->item(Value::text("Window")), host::Failure);
    EXPECT_THROW(adapter->commandBars()->item("Standard"), host::Failure);
}

TEST_F(AutomationCommandBars, AddPassesOmittedArgumentsAsMissing) {
    auto added = toolsControl()->controls()->add(10, std::nullopt, Value::text("TALVO"), std::nullopt,
                                                 Value::boolean(true));
    ASSERT_EQ(tools.children.size(), 1u);
    Control& made = *tools.children[0].Get();
    ASSERT_EQ(made.addArgs.size(), 5u);
    EXPECT_EQ(made.addArgs[0].type(), VT_I4);
    EXPECT_EQ(made.addArgs[0].get().lVal, 10);
    for (std::size_t omitted : {1u, 3u}) {
        EXPECT_EQ(made.addArgs[omitted].type(), VT_ERROR) << omitted;
        EXPECT_EQ(made.addArgs[omitted].get().scode, DISP_E_PARAMNOTFOUND) << omitted;
    }
    EXPECT_EQ(made.addArgs[2].type(), VT_BSTR);
    EXPECT_EQ(made.addArgs[4].type(), VT_BOOL);
    EXPECT_EQ(made.addArgs[4].get().boolVal, VARIANT_TRUE);

    added->setCaption("&Talvo Add-ins");
    added->setTag("TALVO");
    EXPECT_EQ(made.caption, L"&Talvo Add-ins");
    EXPECT_EQ(added->tag(), "TALVO");
    EXPECT_EQ(added->parameter(), "TALVO");

    auto withBefore =
        toolsControl()->controls()->add(1, Value::number(42), std::nullopt, Value::number(1), std::nullopt);
    ASSERT_EQ(tools.children.size(), 2u);
    Control& first = *tools.children[0].Get();
    EXPECT_EQ(first.type, 1);
    EXPECT_EQ(first.addArgs[1].type(), VT_I4);
    EXPECT_EQ(first.addArgs[1].get().lVal, 42);
    EXPECT_EQ(first.addArgs[3].type(), VT_I4);

    toolsControl()->controls()->item(Value::text("Talvo"))->remove();
    EXPECT_TRUE(made.deleted);
    EXPECT_EQ(tools.children.size(), 1u);
}

TEST_F(AutomationCommandBars, ClicksReachTheSubscriberUntilItEnds) {
    Control& button = tools.add(1, L"Varnook 3.0...");
    auto control = toolsControl()->controls()->item(Value::text("Varnook"));
    int clicks = 0;
    {
        auto subscription = control->subscribeClick([&] { ++clicks; });
        ASSERT_EQ(button.sinkCount(), 1u);
        VARIANT_BOOL cancel = VARIANT_TRUE;
        EXPECT_EQ(button.click(&cancel), std::vector<HRESULT>{S_OK});
        EXPECT_EQ(cancel, VARIANT_FALSE) << "CancelDefault is left as the host passed it";
        EXPECT_EQ(clicks, 1);
    }
    EXPECT_EQ(button.sinkCount(), 0u);
    EXPECT_TRUE(button.click().empty());
    EXPECT_EQ(clicks, 1);
}

TEST_F(AutomationCommandBars, AFailingClickHandlerReturnsItsStatusToTheHost) {
    Control& button = tools.add(1, L"Varnook 3.0...");
    auto control = toolsControl()->controls()->item(Value::text("Varnook"));
    auto subscription = control->subscribeClick(
        [] { throw host::Failure(static_cast<std::int32_t>(E_ACCESSDENIED), "denied"); });
    EXPECT_EQ(button.click(), std::vector<HRESULT>{E_ACCESSDENIED});
}

TEST_F(AutomationCommandBars, OnlyButtonsCanBeSubscribed) {
    auto popup = toolsControl();
    try {
        popup->subscribeClick([] {});
        FAIL() << "a popup raises no clicks";
    } catch (const host::Failure& failure) {
        EXPECT_EQ(failure.status(), static_cast<std::int32_t>(E_NOINTERFACE));
    }
}

} // namespace
