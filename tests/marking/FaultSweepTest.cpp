// Every host call of every marking command made to fail in turn. A write that fails is skipped, the
// rest still runs and the command fails at its end; any other failure ends the command at once. Either
// way what was written stays written, the failure reaches the caller, and no host object outlives it.
#include "host/Failure.h"
#include "host/memory/MemoryWeb.h"
#include "support/FakeWindowServices.h"
#include "window/frmMain.h"

#include <cstdint>
#include <functional>
#include <gmock/gmock.h>
#include <map>
#include <string>
#include <vector>

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

// A web with marked and published items two folders deep, the window loaded on it.
struct World {
    host::memory::MemoryWeb web{"http://srv/web"};
    host::memory::MemoryApplication app{&web};
    host::GlobalApplication global{app};
    testsupport::FakeWindowServices services;
    window::frmMain form{global, services};

    World() {
        web.addFolder("outer");
        web.addFolder("outer/f");
        web.addFile("outer/f/a.htm");
        web.addMarkedFile("outer/f/b.gif");
        web.addFolder("outer/f/sub");
        web.addMarkedFile("outer/f/sub/c.txt");
        web.addFile("outer/top.htm");
        web.addFile("index.htm");
        form.setVisible(true);
        // The containing folder shows marked, so the walk up writes it.
        node("outer").setImage("closed_n");
        node("outer").setSelectedImage("open_n");
        web.clearCalls();
    }
    host::Node& node(const std::string& path) { return *form.tree().find(web.url() + "/" + path); }
    void choose(const std::string& path) {
        form.tree().select(&node(path));
        form.tvwWeb_MouseUp(2, 0, 0, 0);
    }
    std::map<std::string, bool> marks() {
        std::map<std::string, bool> out;
        for (const char* path : {"outer", "outer/f", "outer/f/a.htm", "outer/f/b.gif", "outer/f/sub",
                                 "outer/f/sub/c.txt", "outer/top.htm", "index.htm"})
            out[web.url() + "/" + path] = web.at(path).marked();
        return out;
    }
};

struct Command {
    const char* name;
    std::function<void(World&)> run;
};

const std::vector<Command>& commands() {
    static const std::vector<Command> all{
        {"PropPublishToChildren", [](World& w) { w.form.PropPublishToChildren(w.node("outer/f")); }},
        {"PropUnPublishToChildren", [](World& w) { w.form.PropUnPublishToChildren(w.node("outer/f")); }},
        {"PropPublishToParents", [](World& w) { w.form.PropPublishToParents(w.node("outer/f/sub/c.txt")); }},
        {"PropUnPublishToParents", [](World& w) { w.form.PropUnPublishToParents(w.node("outer/f/a.htm")); }},
        {"ApplyPublishState publish", [](World& w) { w.form.ApplyPublishState(w.node("outer/f"), true); }},
        {"ApplyPublishState mark", [](World& w) { w.form.ApplyPublishState(w.node("outer/f"), false); }},
        {"context menu: mark a file", [](World& w) { w.choose("outer/top.htm"); }},
        {"context menu: publish a file",
         [](World& w) {
             w.node("outer/f/b.gif"); // shown marked since the fill
             w.choose("outer/f/b.gif");
         }},
        {"context menu: mark a folder", [](World& w) { w.choose("outer/f"); }},
        {"context menu: publish a folder", [](World& w) { w.choose("outer"); }},
    };
    return all;
}

// The steps of writing one item's mark. The read comes after a refused removal, to tell a mark that is
// not there (no failure) from one that could not be removed.
bool isWriteStep(const std::string& call) {
    for (const char* step : {"Properties.set", "Properties.remove", "Properties.apply", "File.properties",
                             "Folder.properties", "Properties.item"})
        if (call.starts_with(step))
            return true;
    return false;
}

// The item a call was made on: the second word of its log entry.
std::string subjectOf(const std::string& call) {
    const auto start = call.find(' ') + 1;
    return call.substr(start, call.find(' ', start) - start);
}

} // namespace

TEST(MarkingFaultSweep, EveryHostCallOfEveryCommandFailedInTurn) {
    for (const Command& command : commands()) {
        std::vector<std::string> clean;
        std::map<std::string, bool> before, after;
        {
            World w;
            before = w.marks();
            command.run(w);
            clean = w.web.calls();
            after = w.marks();
            ASSERT_EQ(w.web.liveObjects(), 0u) << command.name;
        }
        ASSERT_FALSE(clean.empty()) << command.name;
        for (std::size_t n = 1; n <= clean.size(); ++n) {
            World w;
            w.web.failNthCall(n);
            std::string failure;
            bool failed = false;
            std::int32_t status = 0;
            try {
                command.run(w);
            } catch (const host::Failure& f) {
                failed = true;
                failure = f.what();
                status = f.status();
            }
            const std::string failing = clean[n - 1];
            const std::string context =
                std::string(command.name) + ", failing call " + std::to_string(n) + " (" + failing + ")";
            ASSERT_GE(w.web.calls().size(), n) << context;
            EXPECT_EQ(w.web.calls()[n - 1], failing) << context << ": the same calls up to the failure";
            EXPECT_EQ(w.web.liveObjects(), 0u) << context;
            const auto marks = w.marks();

            if (isWriteStep(failing)) {
                // Skipped, the rest ran, and the item is named at the end, unless it was a removal of a
                // mark that is not there.
                const std::string item = subjectOf(failing);
                EXPECT_EQ(subjectOf(w.web.calls().back()), subjectOf(clean.back()))
                    << context << ": the command ran to its last item";
                if (failed && failing.starts_with("Properties.item")) {
                    // Whether the mark is there cannot be told: the refused removal is reported.
                    EXPECT_THAT(failure, StartsWith("could not write the mark of 1 of ")) << context;
                    EXPECT_THAT(failure, HasSubstr(item + ": no property")) << context;
                } else if (failed) {
                    EXPECT_EQ(status, host::status::Injected) << context;
                    EXPECT_THAT(failure, StartsWith("could not write the mark of 1 of ")) << context;
                    EXPECT_THAT(failure, HasSubstr(item + ": injected failure")) << context;
                } else {
                    EXPECT_TRUE(failing.starts_with("Properties.remove"))
                        << context << ": a failed write passed";
                    EXPECT_FALSE(marks.at(item)) << context;
                }
                for (const auto& [url, marked] : after) {
                    if (url != item) {
                        EXPECT_EQ(marks.at(url), marked) << context << ": " << url;
                    }
                }
            } else {
                // Ended at once: nothing after the failure ran, nothing before it was undone.
                EXPECT_TRUE(failed) << context << ": the failure must reach the caller";
                EXPECT_EQ(status, host::status::Injected) << context;
                EXPECT_THAT(failure, StartsWith("injected failure of " + failing)) << context;
                EXPECT_EQ(w.web.calls().size(), n) << context << ": nothing else runs";
                std::map<std::string, bool> expected = before;
                for (std::size_t i = 0; i + 1 < n; ++i) {
                    if (clean[i].starts_with("Properties.apply"))
                        expected[subjectOf(clean[i])] = after.at(subjectOf(clean[i]));
                }
                EXPECT_EQ(marks, expected) << context;
            }
        }
    }
}
