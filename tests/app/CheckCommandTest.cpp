#include "AppTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;
using namespace apptest;
using testsupport::run;
using testsupport::TempDir;

namespace {

struct CheckCommandTest : ::testing::Test {
    TempDir dir;
    std::string web = dir.mkdir("web").string();

    void SetUp() override {
        dir.mkdir("web/_vti_pvt");
        dir.write("web/index.htm", R"(<a href="private/plan.htm">plan</a> <img src="pics/logo.gif">
            <a href="missing.htm">gone</a> <a href="http://example.com/private/plan.htm">elsewhere</a>
            <a href="Private/Plan.htm">case</a> <a href="pics/">folder</a> <a href="_vti_cnf/index.htm">meta</a>
            <a href="_borders/top.htm">border</a> <a href="drafts/">drafts</a>)");
        dir.write("web/_borders/top.htm", "<p>border</p>");
        dir.write("web/pics/logo.gif");
        dir.write("web/private/plan.htm", R"(<a href="../missing-from-private.htm">not checked</a>)");
        dir.write("web/about.htm", R"(<a href='../private/plan.htm'>up too far, still the web</a>)");
        dir.write("web/site.css", "body { background: url(private/bg.png) }");
        dir.write("web/private/bg.png");
        dir.write("web/drafts/one.htm");
        markOnDisk(dir, "web", "private/plan.htm");
        markOnDisk(dir, "web", "private/bg.png");
        markOnDisk(dir, "web", "drafts/one.htm");
        dir.write("web/_vti_cnf/index.htm", Header + "vti_author:SR|pat\r\n");
    }
};

} // namespace

TEST_F(CheckCommandTest, ReportsLinksADeployWouldBreakGroupedByTargetAndFails) {
    const auto before = snapshot(dir / "web");
    const auto r = run(Varnook, {"check", web});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    // Not reported: the other site, the deployed folder and picture, the editor's border (deployed though
    // the window hides it), and the links of pages that are not deployed themselves.
    EXPECT_EQ(r.out,
              "index.htm: \"_vti_cnf/index.htm\" -> _vti_cnf/index.htm: would break on the server (the "
              "editor's metadata, never deployed)\n"
              "index.htm: \"drafts/\" -> drafts: would break on the server (a folder with nothing "
              "published in it)\n"
              "site.css: \"private/bg.png\" -> private/bg.png: would break on the server (marked Don't "
              "Publish)\n"
              "about.htm: \"../private/plan.htm\" -> private/plan.htm: would break on the server (marked "
              "Don't Publish)\n"
              "index.htm: \"private/plan.htm\" -> private/plan.htm: would break on the server (marked "
              "Don't Publish)\n"
              "index.htm: \"Private/Plan.htm\" -> Private/Plan.htm: already broken (no such item)\n"
              "index.htm: \"missing.htm\" -> missing.htm: already broken (no such item)\n"
              "3 documents checked, 10 links: 5 would break on the server, 2 already broken\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(snapshot(dir / "web"), before) << "check never writes";

    const auto kept = run(Varnook, {"check", "--keep-metadata", web});
    EXPECT_THAT(kept.out, ::testing::Not(HasSubstr("_vti_cnf/index.htm:")));
    EXPECT_THAT(kept.out, HasSubstr("4 would break"));
}

TEST_F(CheckCommandTest, JsonAndTheExitStatusOfADeployScript) {
    const auto r = run(Varnook, {"check", "--format", "json", web});
    EXPECT_EQ(r.exitCode, 1);
    const auto problems = nlohmann::json::parse(r.out);
    ASSERT_EQ(problems.size(), 7u);
    EXPECT_EQ(problems[2], nlohmann::json::parse(R"({"status":"would-break","target":"private/bg.png",
        "page":"site.css","link":"private/bg.png","reason":"marked Don't Publish"})"));
    EXPECT_EQ(problems[6]["status"], "already-broken");

    // Publishing what is linked leaves only links broken already: exit 0.
    ASSERT_EQ(run(Varnook, {"unmark", web, "private", "drafts"}).exitCode, 0);
    dir.write("web/index.htm", R"(<a href="private/plan.htm">plan</a> <a href="missing.htm">gone</a>)");
    const auto fixed = run(Varnook, {"check", web});
    EXPECT_EQ(fixed.exitCode, 0) << fixed.out;
    // The page published again is checked now, with its own broken link.
    EXPECT_THAT(fixed.out,
                HasSubstr("private/plan.htm: \"../missing-from-private.htm\" -> missing-from-private.htm"));
    EXPECT_THAT(fixed.out, HasSubstr("0 would break on the server, 2 already broken\n"));

    dir.write("web/index.htm", "<p>no links</p>");
    dir.write("web/private/plan.htm", "<p>no links</p>");
    EXPECT_THAT(run(Varnook, {"check", web}).out, HasSubstr("no link would break\n"));
}

TEST(CheckCommand, FindsTheSampleWebsLinkIntoItsMarkedItems) {
    const auto r = run(Varnook, {"check", VARNOOK_SOURCE_DIR "/examples/sample-web"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.out, HasSubstr("products/parts/index.htm: \"clearance/index.htm\" -> "
                                 "products/parts/clearance/index.htm: would break on the server"));
}

TEST(CheckCommand, OrphansAreThePublishedFilesNoPublishedPageReachesFromTheHomePage) {
    TempDir dir;
    const std::string web = dir.mkdir("web").string();
    dir.mkdir("web/_vti_pvt");
    dir.write("web/index.htm", R"(<a href="a.htm">a</a> <a href="sub/">a folder</a> <link href="s.css">)");
    dir.write("web/a.htm", R"(<img src="pic.gif">)");
    dir.write("web/pic.gif", "GIF89a");
    dir.write("web/s.css", "body { background: url(bg.png) }");
    dir.write("web/bg.png");
    dir.write("web/sub/index.htm", "in a folder");
    // Reached only through a page left out: an orphan; the page itself is no published file.
    dir.write("web/draft.htm", R"(<img src="only.gif">)");
    dir.write("web/only.gif", "0123456789");
    markOnDisk(dir, "web", "draft.htm");
    // Two pages that link to each other, but nothing links to them.
    dir.write("web/x.htm", R"(<a href="y.htm">y</a>)");
    dir.write("web/y.htm", R"(<a href="x.htm">x</a>)");

    const auto r = run(Varnook, {"check", "--orphans", web});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "only.gif\nx.htm\ny.htm\n3 published files are not linked from the home page: 52 bytes\n");
    const auto json = nlohmann::json::parse(run(Varnook, {"check", "--orphans", "--json", web}).out);
    ASSERT_EQ(json.size(), 3u);
    EXPECT_EQ(json[0], nlohmann::json::parse(R"({"path":"only.gif","size":10})"));
}
