#include "app/terminal/HostState.h"

#include "addin/Connect.h"
#include "host/Failure.h"
#include "support/FakeWindowServices.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using terminal::HostApplication;
using terminal::HostState;
using ::testing::HasSubstr;
using testsupport::TempDir;

namespace {

// The add-in connected to the terminal host as the host connects it: its module's own application
// object comes from a factory, the one given at connection is another object over the same host.
struct AddinInHost : ::testing::Test {
    TempDir dir;
    HostState state;
    testsupport::FakeWindowServices services;
    addin::AddinModule module{[this] { return std::make_unique<HostApplication>(state); }, services};
    addin::Connect connect{module};

    void SetUp() override {
        dir.write("one/index.htm", "<html>");
        dir.write("one/docs/a.txt", "a");
        dir.write("two/default.htm", "<html>");
        connect.IDTExtensibility2_OnConnection(std::make_shared<HostApplication>(state), 1);
    }

    std::shared_ptr<host::memory::MemoryControl> talvo() {
        return state.bars().bar("Menu Bar")->childNamed("Tools")->childNamed("Talvo Add-ins");
    }
    std::shared_ptr<host::memory::MemoryControl> button() {
        auto popup = talvo();
        return popup ? popup->childNamed("Varnook 3.0...") : nullptr;
    }
    void press() {
        auto b = button();
        ASSERT_NE(b, nullptr);
        state.bars().press(*b);
    }
    std::string rootText() { return std::string(module.existingMainWindow()->tree().nodeByIndex(1).text()); }
};

} // namespace

TEST(HostApplication, ActiveWebFollowsTheWebOpenInTheHost) {
    TempDir dir;
    dir.write("web/index.htm");
    HostState state;
    HostApplication app(state);
    EXPECT_EQ(app.activeWeb(), nullptr);

    state.openWeb(dir / "web");
    auto web = app.activeWeb();
    ASSERT_NE(web, nullptr);
    EXPECT_EQ(web->url(), (dir / "web").string());
    auto root = web->rootFolder();
    EXPECT_EQ(app.relativeUrl(*root, web->url() + "/index.htm"), "index.htm");

    state.closeWeb();
    EXPECT_EQ(app.activeWeb(), nullptr);
    EXPECT_THROW(app.relativeUrl(*root, web->url() + "/index.htm"), host::Failure);
    EXPECT_NE(app.commandBars()->item("Menu Bar"), nullptr);
}

TEST(HostState, AWebThatCannotBeOpenedLeavesTheOpenWebOpen) {
    TempDir dir;
    dir.write("web/index.htm");
    dir.write("plain-file");
    HostState state;
    state.openWeb(dir / "web");
    for (const char* bad : {"missing", "plain-file"}) {
        try {
            state.openWeb(dir / bad);
            ADD_FAILURE() << bad << " opened";
        } catch (const host::Failure& f) {
            EXPECT_THAT(f.what(), HasSubstr("cannot open the web")) << bad;
        }
        ASSERT_NE(state.web(), nullptr);
        EXPECT_EQ(state.web()->webPath(), dir / "web");
    }
}

TEST_F(AddinInHost, ConnectionPutsTheButtonIntoTheHostsToolsMenuAndDisconnectionTakesItOut) {
    ASSERT_NE(talvo(), nullptr);
    EXPECT_EQ(talvo()->caption, "&Talvo Add-ins");
    ASSERT_NE(button(), nullptr);
    EXPECT_EQ(button()->caption, "Varnook 3.0...");

    connect.IDTExtensibility2_OnDisconnection(0);
    EXPECT_EQ(talvo(), nullptr);
}

TEST_F(AddinInHost, PressingWithoutAWebShowsTheMessageAndWithOneShowsTheFilledWindow) {
    press();
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, "You must open a Web before using Varnook.");
    EXPECT_EQ(services.messages[0].title, "Varnook");
    EXPECT_EQ(services.messages[0].style, 48);
    EXPECT_EQ(services.shows, 0);

    state.openWeb(dir / "one");
    press();
    EXPECT_EQ(services.shows, 1);
    EXPECT_EQ(rootText(), (dir / "one").string());
    EXPECT_NE(module.existingMainWindow()->tree().find((dir / "one/docs/a.txt").string()), nullptr);
}

TEST_F(AddinInHost, TheAddinsOwnApplicationObjectSeesWebsOpenedAndClosedLater) {
    state.openWeb(dir / "one");
    press(); // creates the module's application object, which the add-in then keeps
    module.existingMainWindow()->cmdClose_Click();

    state.closeWeb();
    press();
    EXPECT_EQ(services.messages.size(), 1u) << "the web closed in the host is closed for the add-in";

    state.openWeb(dir / "two");
    press();
    EXPECT_EQ(rootText(), (dir / "two").string()) << "a fresh tree of the web open now";
}

TEST_F(AddinInHost, NamesTheDiskWebLeavesOutAreCollectedForTheStatusLine) {
    dir.write("one/bad\\name.htm");
    state.openWeb(dir / "one");
    press();
    const std::string warnings = state.takeWarnings();
    EXPECT_THAT(warnings, HasSubstr("bad\\name.htm"));
    EXPECT_EQ(state.takeWarnings(), "") << "each warning is handed out once";
}
