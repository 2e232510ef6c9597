#include "AppTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace apptest;
using nlohmann::json;
using testsupport::run;
using testsupport::TempDir;

namespace {

json byPath(const json& nodes, const std::string& path) {
    for (const auto& n : nodes) {
        if (n["path"] == path)
            return n;
    }
    return json();
}

} // namespace

TEST(ScriptOutput, TreeJsonGivesEveryNodeWithWhatTheWindowShowsAndWhatADeployDoes) {
    TempDir dir;
    const std::string web = dir.mkdir("web").string();
    dir.write("web/index.htm");
    dir.write("web/own/kept.htm"); // the folder's own mark is set, but it shows published
    dir.write("web/gone/x.txt");
    dir.write("web/odd \"q\" \xC3\xA9.gif"); // quotes and UTF-8 survive the JSON
    dir.write("web/bad\xFF.gif");            // not UTF-8: its bytes come in hex beside the path
    dir.write("web/unreadable.htm");
    markOnDisk(dir, "web", "own", true);
    markOnDisk(dir, "web", "gone/x.txt");
    dir.mkdir("web/_vti_cnf/unreadable.htm"); // its metadata is a folder: the mark cannot be read

    const auto r = run(Varnook, {"tree", "--json", web});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json nodes = json::parse(r.out);
    ASSERT_EQ(nodes.size(), 9u);
    EXPECT_EQ(nodes[0], json::parse(R"({"path":".","kind":"web","image":"web","selectedImage":"web",
        "marked":false,"ownMark":false,"deployed":true,"why":"published"})"));
    EXPECT_EQ(byPath(nodes, "own"), json::parse(R"({"path":"own","kind":"folder","image":"closed",
        "selectedImage":"open","marked":false,"ownMark":true,"deployed":true,"why":"published"})"));
    EXPECT_EQ(byPath(nodes, "gone"), json::parse(R"({"path":"gone","kind":"folder","image":"closed_n",
        "selectedImage":"open_n","marked":true,"ownMark":false,"deployed":false,"why":"nothing published beneath"})"));
    EXPECT_EQ(byPath(nodes, "gone/x.txt"), json::parse(R"({"path":"gone/x.txt","kind":"text","image":"text_n",
        "selectedImage":"text_n","marked":true,"ownMark":true,"deployed":false,"why":"own mark"})"));
    EXPECT_EQ(byPath(nodes, "index.htm")["kind"], "home");
    EXPECT_EQ(byPath(nodes, "unreadable.htm")["ownMark"], json(nullptr));
    EXPECT_EQ(byPath(nodes, "odd \"q\" \xC3\xA9.gif")["kind"], "gif");
    EXPECT_EQ(byPath(nodes, "bad\xEF\xBF\xBD.gif")["pathBytes"], "626164ff2e676966");

    // Every path is one that mark accepts, from its exact bytes where it has them.
    for (const auto& n : nodes) {
        std::string path = n["path"].get<std::string>();
        if (n.contains("pathBytes")) {
            const std::string hex = n["pathBytes"].get<std::string>();
            path.clear();
            for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
                path += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        }
        EXPECT_EQ(run(Varnook, {"mark", "-n", web, path}).exitCode, 0) << n["path"];
    }
}

TEST(ScriptOutput, ExcludedJsonHoldsTheNodesLeftOut) {
    TempDir dir;
    const std::string web = dir.mkdir("web").string();
    dir.write("web/a.htm");
    dir.write("web/gone/x.txt");
    markOnDisk(dir, "web", "gone/x.txt");
    const auto r = run(Varnook, {"excluded", "--format", "json", web});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json nodes = json::parse(r.out);
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0]["path"], "gone");
    EXPECT_EQ(nodes[1]["path"], "gone/x.txt");
    EXPECT_EQ(
        json::parse(run(Varnook, {"excluded", "--format", "json", (dir / "web/gone").string()}).out).size(),
        1u);
}

TEST(ScriptOutput, TsvStaysAsItWas) {
    TempDir dir;
    const std::string web = dir.mkdir("web").string();
    dir.write("web/a b.htm");
    EXPECT_EQ(run(Varnook, {"tree", "--tsv", web}).out,
              "0\tROOT\t" + web + "\tweb\tweb\t1\n1\t" + web + "/a b.htm\ta b.htm\tpage\tpage\t0\n");
    EXPECT_EQ(run(Varnook, {"tree", "--tsv", "--json", web}).exitCode, 2);
}

TEST(ScriptOutput, EveryCommandThatPrintsTakesJsonAndQuiet) {
    TempDir dir;
    const std::string web = dir.mkdir("web").string();
    dir.mkdir("web/_vti_pvt");
    dir.write("web/index.htm", "<a href=\"gone.htm\">");
    dir.write("web/gone.htm");

    // What mark changed, as tree --json has each item, with how it changed.
    const auto marked = run(Varnook, {"mark", "--json", web, "gone.htm"});
    ASSERT_EQ(marked.exitCode, 0) << marked.err;
    const json changes = json::parse(marked.out);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0]["change"], "marked");
    EXPECT_EQ(changes[0]["path"], "gone.htm");
    EXPECT_EQ(json::parse(run(Varnook, {"unmark", "--json", "-n", web, "index.htm"}).out), json::array());

    // --json is --format json wherever --format has it.
    for (const std::string command : {"excluded", "check"}) {
        const auto spelled = run(Varnook, {command, "--json", web});
        const auto format = run(Varnook, {command, "--format", "json", web});
        EXPECT_EQ(spelled.out, format.out) << command;
        EXPECT_EQ(spelled.exitCode, format.exitCode) << command;
    }

    // -q: the exit status alone, whatever the command.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"tree", "-q", web},
                                                 {"excluded", "-q", web},
                                                 {"check", "-q", web},
                                                 {"toggle", "-q", web, "gone.htm"},
                                                 {"icons", "-q", (dir / "icons").string()}}) {
        const auto r = run(Varnook, args);
        EXPECT_EQ(r.out, "") << args[0];
        EXPECT_EQ(r.exitCode, args[0] == "check" ? 1 : 0) << args[0] << ": " << r.err;
    }
}
