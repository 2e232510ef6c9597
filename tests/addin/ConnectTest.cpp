#include "addin/Connect.h"

#include "host/Failure.h"
#include "host/memory/MemoryCommandBars.h"
#include "host/memory/MemoryWeb.h"
#include "support/FakeWindowServices.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using host::memory::MemoryCommandBars;
using host::memory::MemoryControl;

namespace {

struct ConnectTest : ::testing::Test {
    std::unique_ptr<MemoryCommandBars> bars = MemoryCommandBars::withEditorMenus();
    host::memory::MemoryWeb web{"http://srv/web"};
    host::memory::MemoryApplication hostApp{nullptr, bars.get()};
    // The add-in's own application object reaches the same host.
    host::memory::MemoryApplication& globalApp = hostApp;
    testsupport::FakeWindowServices services;
    addin::AddinModule module{globalApp, services};
    addin::Connect connect{module};

    std::shared_ptr<host::Application> given() {
        return std::shared_ptr<host::Application>(&hostApp, [](host::Application*) {});
    }
    MemoryControl& tools() { return *bars->bar("Menu Bar")->childNamed("Tools"); }
    std::vector<std::shared_ptr<MemoryControl>> liveIn(MemoryControl& c) {
        std::vector<std::shared_ptr<MemoryControl>> out;
        for (auto& child : c.children)
            if (!child->deleted)
                out.push_back(child);
        return out;
    }
    MemoryControl& popup() { return *liveIn(tools()).back(); }
    MemoryControl& button(std::size_t i = 0) { return *liveIn(popup()).at(i); }
};

} // namespace

TEST_F(ConnectTest, ConnectionAddsThePopupAndTheButtonAtTheEndOfTools) {
    connect.IDTExtensibility2_OnConnection(given(), 1);
    EXPECT_EQ(connect.fpApp.get(), &hostApp);
    ASSERT_EQ(liveIn(tools()).size(), 1u);
    MemoryControl& p = popup();
    EXPECT_EQ(p.type, 10);
    EXPECT_EQ(p.caption, "&Talvo Add-ins");
    EXPECT_EQ(p.tag, "TALVO");
    EXPECT_EQ(p.parameter, "TALVO");
    EXPECT_TRUE(p.temporary);
    EXPECT_FALSE(p.id.has_value());
    ASSERT_EQ(liveIn(p).size(), 1u);
    MemoryControl& b = button();
    EXPECT_EQ(b.type, 1);
    EXPECT_EQ(b.caption, "Varnook 3.0...");
    EXPECT_EQ(b.parameter, "Varnook3");
    EXPECT_EQ(b.tag, "");
    EXPECT_TRUE(b.temporary);
    EXPECT_FALSE(b.id.has_value());
    EXPECT_TRUE(connect.connectedToButton());
}

TEST_F(ConnectTest, AControlTaggedTalvoIsReusedTheFirstOneFirst) {
    tools().add(10, "Other").tag = "Talvo"; // another case: not recognised
    auto& first = tools().add(10, "Someone's");
    first.tag = "TALVO";
    auto& second = tools().add(10, "Second");
    second.tag = "TALVO";
    first.add(1, "Their button");

    connect.IDTExtensibility2_OnConnection(given(), 0);
    EXPECT_EQ(liveIn(tools()).size(), 3u) << "no popup created";
    EXPECT_EQ(first.caption, "&Talvo Add-ins");
    ASSERT_EQ(liveIn(first).size(), 2u);
    EXPECT_EQ(liveIn(first)[1]->caption, "Varnook 3.0...");
    EXPECT_TRUE(liveIn(second).empty());
}

TEST_F(ConnectTest, AControlTaggedInAnotherCaseIsNotRecognised) {
    tools().add(10, "x").tag = "talvo";
    connect.IDTExtensibility2_OnConnection(given(), 2);
    ASSERT_EQ(liveIn(tools()).size(), 2u);
    EXPECT_EQ(popup().tag, "TALVO");
}

TEST_F(ConnectTest, ASecondConnectionAddsASecondButtonAndOnlyTheNewerOneIsHeard) {
    connect.IDTExtensibility2_OnConnection(given(), 1);
    connect.IDTExtensibility2_OnConnection(given(), 1);
    ASSERT_EQ(liveIn(tools()).size(), 1u);
    ASSERT_EQ(liveIn(popup()).size(), 2u);
    bars->press(button(0));
    EXPECT_TRUE(services.messages.empty()) << "the first button's subscription has ended";
    bars->press(button(1));
    EXPECT_EQ(services.messages.size(), 1u);
}

TEST_F(ConnectTest, DisconnectionDeletesThePopupWithForeignEntriesAndStopsClicks) {
    connect.IDTExtensibility2_OnConnection(given(), 1);
    popup().add(1, "Another add-in's entry");
    MemoryControl& b = button();
    auto popupRef = bars->bar("Menu Bar")->childNamed("Tools")->childNamed("Talvo");
    connect.IDTExtensibility2_OnDisconnection(1);
    EXPECT_EQ(connect.fpApp, nullptr);
    EXPECT_TRUE(popupRef->deleted);
    EXPECT_TRUE(liveIn(tools()).empty());
    bars->press(b);
    EXPECT_TRUE(services.messages.empty());
    EXPECT_FALSE(connect.connectedToButton());

    // The same object connects again as new.
    connect.IDTExtensibility2_OnConnection(given(), 0);
    ASSERT_EQ(liveIn(tools()).size(), 1u);
    bars->press(button());
    EXPECT_EQ(services.messages.size(), 1u);
}

TEST_F(ConnectTest, DisconnectionWithThePopupGoneFailsAfterEndingTheSubscription) {
    connect.IDTExtensibility2_OnConnection(given(), 1);
    MemoryControl& b = button();
    popup().deleted = true;
    EXPECT_THROW(connect.IDTExtensibility2_OnDisconnection(0), host::Failure);
    EXPECT_FALSE(connect.connectedToButton());
    b.deleted = false;
    bars->press(b);
    EXPECT_TRUE(services.messages.empty());
}

TEST_F(ConnectTest, ConnectionFailsWithoutTheHostOrItsToolsPopup) {
    EXPECT_THROW(connect.IDTExtensibility2_OnConnection(nullptr, 1), host::Failure);
    EXPECT_EQ(connect.fpApp, nullptr);

    bars = std::make_unique<MemoryCommandBars>();
    bars->addBar("Menu Bar").add(1, "&Tools"); // a button, not a popup
    hostApp = host::memory::MemoryApplication(nullptr, bars.get());
    EXPECT_THROW(connect.IDTExtensibility2_OnConnection(given(), 1), host::Failure);
    EXPECT_EQ(connect.fpApp.get(), &hostApp) << "fpApp stays set";
    EXPECT_EQ(bars->bar("Menu Bar")->children.size(), 1u) << "nothing was created";

    host::memory::MemoryApplication noMenus;
    EXPECT_THROW(connect.IDTExtensibility2_OnConnection(
                     std::shared_ptr<host::Application>(&noMenus, [](host::Application*) {}), 1),
                 host::Failure);
}

TEST(CommandBarNames, ResolveIgnoringCaseAndAmpersandAndByBeginning) {
    EXPECT_TRUE(MemoryCommandBars::nameMatches("Talvo", "&Talvo Add-ins"));
    EXPECT_TRUE(MemoryCommandBars::nameMatches("tools", "&Tools"));
    EXPECT_TRUE(MemoryCommandBars::nameMatches("menu bar", "Menu Bar"));
    EXPECT_FALSE(MemoryCommandBars::nameMatches("Tool s", "&Tools"));
    EXPECT_FALSE(MemoryCommandBars::nameMatches("", "&Tools"));
    EXPECT_FALSE(MemoryCommandBars::nameMatches("Toolsy", "&Tools"));
    auto bars = MemoryCommandBars::withEditorMenus();
    auto& menu = *bars->bar("MENU BAR");
    menu.add(10, "&Tool Kit");
    EXPECT_EQ(menu.childNamed("tool")->caption, "&Tools") << "the first match in collection order";
    EXPECT_EQ(menu.childNamed("Tool Kit")->caption, "&Tool Kit");
}
