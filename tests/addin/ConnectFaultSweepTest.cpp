// Every command-bar call of connection and disconnection made to fail in turn: the handler ends at that
// call with its error, what it already did to the menus stays, and no object it obtained outlives it.
#include "addin/Connect.h"
#include "host/Failure.h"
#include "host/memory/MemoryCommandBars.h"
#include "host/memory/MemoryWeb.h"
#include "support/FakeWindowServices.h"
#include "support/FaultyCommandBars.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using host::memory::MemoryCommandBars;
using host::memory::MemoryControl;
using testsupport::CommandBarCalls;

namespace {

// The editor's menus, optionally with a popup another add-in tagged "TALVO" already in Tools.
struct Host {
    std::unique_ptr<MemoryCommandBars> bars = MemoryCommandBars::withEditorMenus();
    host::memory::MemoryApplication memoryApp{nullptr, bars.get()};
    CommandBarCalls log;
    testsupport::FaultyBarsApplication app{memoryApp, log};
    testsupport::FakeWindowServices services;
    addin::AddinModule module{app, services};

    explicit Host(bool foreignPopup) {
        if (foreignPopup)
            tools().add(10, "&Talvo Add-ins").tag = "TALVO";
    }
    std::shared_ptr<host::Application> given() {
        return std::shared_ptr<host::Application>(&app, [](host::Application*) {});
    }
    MemoryControl& tools() { return *bars->bar("Menu Bar")->childNamed("Tools"); }
    std::size_t liveIn(MemoryControl& c) {
        return static_cast<std::size_t>(
            std::count_if(c.children.begin(), c.children.end(), [](const auto& x) { return !x->deleted; }));
    }
    std::size_t popups() { return liveIn(tools()); }
    std::size_t buttons() {
        std::size_t n = 0;
        for (auto& popup : tools().children)
            if (!popup->deleted)
                n += liveIn(*popup);
        return n;
    }
};

std::size_t indexOf(const std::vector<std::string>& calls, const std::string& call) {
    return static_cast<std::size_t>(std::find(calls.begin(), calls.end(), call) - calls.begin()) + 1;
}

} // namespace

TEST(ConnectFaultSweep, ConnectionStopsAtEachFailingCommandBarCall) {
    for (const bool foreign : {false, true}) {
        std::vector<std::string> clean;
        {
            Host h(foreign);
            addin::Connect connect(h.module);
            connect.IDTExtensibility2_OnConnection(h.given(), 1);
            clean = h.log.calls;
        }
        ASSERT_GT(clean.size(), 8u);
        const std::size_t addPopup = indexOf(clean, "Controls.add 10");
        const std::size_t addButton = indexOf(clean, "Controls.add 1");
        for (std::size_t n = 1; n <= clean.size(); ++n) {
            const std::string context = (foreign ? "reusing a popup, " : "") + std::string("failing call ") +
                                        std::to_string(n) + " (" + clean[n - 1] + ")";
            Host h(foreign);
            {
                addin::Connect connect(h.module);
                h.log.failAt = n;
                try {
                    connect.IDTExtensibility2_OnConnection(h.given(), 1);
                    ADD_FAILURE() << context << ": the failure must reach the host";
                } catch (const host::Failure& f) {
                    EXPECT_EQ(f.status(), host::status::Injected) << context;
                }
                EXPECT_EQ(h.log.calls.size(), n) << context << ": nothing else runs";
                EXPECT_EQ(connect.fpApp.get(), &h.app) << context << ": kept before the first call";
                EXPECT_FALSE(connect.connectedToButton()) << context;
                // What was added stays in the menus.
                EXPECT_EQ(h.popups(), foreign || n > addPopup ? 1u : 0u) << context;
                EXPECT_EQ(h.buttons(), n > addButton ? 1u : 0u) << context;
            }
            EXPECT_EQ(h.log.live, 0u) << context << ": every command-bar object is released";
        }
    }
}

TEST(ConnectFaultSweep, DisconnectionStopsAtEachFailingCommandBarCallAfterEndingTheClicks) {
    std::vector<std::string> clean;
    {
        Host h(false);
        addin::Connect connect(h.module);
        connect.IDTExtensibility2_OnConnection(h.given(), 1);
        h.log.calls.clear();
        connect.IDTExtensibility2_OnDisconnection(0);
        clean = h.log.calls;
        EXPECT_EQ(h.popups(), 0u);
    }
    ASSERT_GE(clean.size(), 5u);
    EXPECT_EQ(clean.back(), "Control.remove");
    for (std::size_t n = 1; n <= clean.size(); ++n) {
        const std::string context = "failing call " + std::to_string(n) + " (" + clean[n - 1] + ")";
        Host h(false);
        {
            addin::Connect connect(h.module);
            connect.IDTExtensibility2_OnConnection(h.given(), 1);
            MemoryControl& button = *h.tools().children.back()->children.back();
            h.log.calls.clear();
            h.log.failAt = n;
            EXPECT_THROW(connect.IDTExtensibility2_OnDisconnection(1), host::Failure) << context;
            EXPECT_EQ(h.log.calls.size(), n) << context << ": nothing else runs";
            EXPECT_EQ(connect.fpApp, nullptr) << context;
            EXPECT_FALSE(connect.connectedToButton()) << context << ": the clicks ended first";
            EXPECT_EQ(h.popups(), 1u) << context << ": the popup was not deleted";
            h.bars->press(button);
            EXPECT_TRUE(h.services.messages.empty()) << context << ": a press no longer reaches the add-in";
        }
        EXPECT_EQ(h.log.live, 0u) << context;
    }
}
