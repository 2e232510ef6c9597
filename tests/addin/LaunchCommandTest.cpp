#include "addin/Connect.h"
#include "host/Failure.h"
#include "host/memory/MemoryCommandBars.h"
#include "host/memory/MemoryWeb.h"
#include "support/FakeWindowServices.h"

#include <gtest/gtest.h>

namespace {

// The add-in connected to an editor whose web can be opened and closed; press() is the user's click.
struct LaunchCommandTest : ::testing::Test {
    std::unique_ptr<host::memory::MemoryCommandBars> bars =
        host::memory::MemoryCommandBars::withEditorMenus();
    host::memory::MemoryWeb web{"http://srv/web"};
    host::memory::MemoryApplication editor{nullptr, bars.get()};
    testsupport::FakeWindowServices services;
    int created = 0;
    addin::AddinModule module{[this] {
                                  ++created;
                                  return std::make_unique<host::memory::MemoryApplication>(editor);
                              },
                              services};
    addin::Connect connect{module};

    void SetUp() override {
        web.addFile("index.htm");
        connect.IDTExtensibility2_OnConnection(
            std::shared_ptr<host::Application>(&editor, [](host::Application*) {}), 1);
    }
    void press() {
        auto& tools = *bars->bar("Menu Bar")->childNamed("Tools");
        bars->press(*tools.childNamed("Talvo")->childNamed("Varnook"));
    }
    // The global application is a copy of the editor's state at its creation: open webs through it.
    host::memory::MemoryApplication& global() {
        return static_cast<host::memory::MemoryApplication&>(module.globalApplication().get());
    }
};

} // namespace

TEST_F(LaunchCommandTest, WithoutAWebOneMessageAndNoWindow) {
    press();
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0].text, "You must open a Web before using Varnook.");
    EXPECT_EQ(services.messages[0].title, "Varnook");
    EXPECT_EQ(services.messages[0].style, 48);
    EXPECT_EQ(module.existingMainWindow(), nullptr);
    EXPECT_EQ(services.shows, 0);
    EXPECT_EQ(created, 1) << "the global application object is made on first use";
    press();
    EXPECT_EQ(created, 1) << "and kept";
}

TEST_F(LaunchCommandTest, WithAWebTheWindowShowsTheTreeAndASecondPressChangesNothing) {
    global().openWeb(&web);
    press();
    ASSERT_NE(module.existingMainWindow(), nullptr);
    auto& form = *module.existingMainWindow();
    EXPECT_TRUE(form.visible());
    EXPECT_EQ(services.shows, 1);
    EXPECT_EQ(form.tree().count(), 2u);
    EXPECT_TRUE(services.messages.empty());

    web.addFile("new.htm");
    press();
    EXPECT_EQ(services.shows, 1) << "no second window";
    EXPECT_EQ(services.loads, 1);
    EXPECT_EQ(services.broughtToFront, 1) << "the window comes to the front as it is";
    EXPECT_EQ(form.tree().count(), 2u) << "no refill";
}

TEST_F(LaunchCommandTest, AfterCloseThePressBuildsAFreshTree) {
    global().openWeb(&web);
    press();
    auto& form = *module.existingMainWindow();
    form.cmdClose_Click();
    EXPECT_FALSE(form.loaded());
    EXPECT_EQ(form.tree().count(), 0u) << "unloading destroys the nodes";
    web.addFile("new.htm");
    press();
    EXPECT_EQ(&form, module.existingMainWindow()) << "the same shared instance";
    EXPECT_EQ(form.tree().count(), 3u);
    EXPECT_EQ(services.shows, 2);
}

TEST_F(LaunchCommandTest, WebClosedWhileTheWindowIsOpenShowsTheMessageAndLeavesTheWindow) {
    global().openWeb(&web);
    press();
    global().closeWeb();
    press();
    EXPECT_EQ(services.messages.size(), 1u);
    EXPECT_TRUE(module.existingMainWindow()->visible());
    EXPECT_EQ(module.existingMainWindow()->tree().count(), 2u);
}

TEST_F(LaunchCommandTest, AFailedLoadReachesTheHostAndTheNextPressLoadsAgain) {
    global().openWeb(&web);
    web.failOperation("File.extension");
    EXPECT_THROW(press(), host::Failure);
    auto& form = *module.existingMainWindow();
    EXPECT_FALSE(form.visible());
    EXPECT_FALSE(form.loaded()) << "no half-filled window stays loaded";
    ASSERT_EQ(services.failures.size(), 1u) << "the window reports the failure that ended its load";
    EXPECT_NE(services.failures[0].find("extension"), std::string::npos) << services.failures[0];
    EXPECT_EQ(services.loads, 1);
    EXPECT_EQ(services.unloads, 1) << "its controls are destroyed";
    web.clearFaults();
    press();
    EXPECT_TRUE(form.visible());
    EXPECT_EQ(form.tree().count(), 2u);
}

TEST_F(LaunchCommandTest, DisconnectionClosesAnOpenWindow) {
    global().openWeb(&web);
    press();
    auto& form = *module.existingMainWindow();
    connect.IDTExtensibility2_OnDisconnection(1);
    EXPECT_FALSE(form.loaded());
    EXPECT_FALSE(form.visible());
    EXPECT_EQ(services.unloads, 1);
    EXPECT_EQ(form.tree().count(), 0u);
}
