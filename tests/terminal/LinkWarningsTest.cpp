#include "app/terminal/LinkWarnings.h"

#include "support/TempDir.h"
#include "window/ImageKeys.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

using terminal::LinkWarnings;
using ::testing::ElementsAre;

namespace {

// A web as the window fills it: index.htm and about.htm published, old.htm marked; docs (published)
// holds a.txt marked and b.htm; gone (left out as a whole) holds pic.gif.
struct LinkWarningsTest : ::testing::Test {
    testsupport::TempDir dir;
    std::string web = dir.mkdir("web").string();
    host::TreeModel tree{window::imageKeyList()};

    LinkWarningsTest() {
        dir.write("web/index.htm",
                  R"(<a href="old.htm">1</a><a href="docs/a.txt">2</a><img src="gone/pic.gif">)");
        dir.write("web/about.htm",
                  R"(<a href="old.htm">1</a><a href="./old.htm#x">2</a><a href="docs/b.htm">3</a>)");
        dir.write("web/old.htm", R"(<a href="docs/b.htm">published target</a><a href="index.htm">x</a>)");
        dir.write("web/docs/b.htm", R"(<a href="../old.htm">from inside</a>)");
        tree.add(std::nullopt, "ROOT", web, "web", "web");
        tree.add("ROOT", web + "/docs", "docs", "closed", "open");
        tree.add(web + "/docs", web + "/docs/a.txt", "a.txt", "text_n", "text_n");
        tree.add(web + "/docs", web + "/docs/b.htm", "b.htm", "page", "page");
        tree.add("ROOT", web + "/gone", "gone", "closed_n", "open_n");
        tree.add(web + "/gone", web + "/gone/pic.gif", "pic.gif", "gif_n", "gif_n");
        tree.add("ROOT", web + "/index.htm", "index.htm", "home", "home");
        tree.add("ROOT", web + "/about.htm", "about.htm", "page", "page");
        tree.add("ROOT", web + "/old.htm", "old.htm", "page_n", "page_n");
    }
    const host::Node& node(const std::string& rel) { return *tree.find(web + "/" + rel); }

    std::ostringstream warnings;
    host::disk::DiskApplication app{web, warnings};
};

TEST_F(LinkWarningsTest, ItemsLeftOutThatPublishedPagesLinkTo) {
    const LinkWarnings links = LinkWarnings::build(tree, app);
    const auto warned = links.warnings(tree);
    ASSERT_EQ(warned.size(), 3u)
        << "old.htm, a.txt and pic.gif; published targets and unpublished pages do not count";
    const auto& old = warned.at(&node("old.htm"));
    EXPECT_THAT(old.pages, ElementsAre("docs/b.htm", "index.htm", "about.htm"));
    EXPECT_EQ(old.links, 4u);
    EXPECT_EQ(terminal::describe(old),
              "linked from docs/b.htm, index.htm, about.htm: these links will break");
    EXPECT_EQ(terminal::describe(warned.at(&node("docs/a.txt"))),
              "linked from index.htm: this link will break");
    EXPECT_TRUE(warned.count(&node("gone/pic.gif")));
}

TEST_F(LinkWarningsTest, AChoiceChangesWhichLinksCountWithoutReadingAgain) {
    const LinkWarnings links = LinkWarnings::build(tree, app);
    // old.htm published: no warning on it, and its own link to index.htm targets a published page.
    tree.find(web + "/old.htm")->setImage("page");
    // about.htm marked: its links no longer count.
    tree.find(web + "/about.htm")->setImage("page_n");
    const auto warned = links.warnings(tree);
    EXPECT_FALSE(warned.count(&node("old.htm")));
    EXPECT_FALSE(warned.count(&node("about.htm"))) << "nothing links to about.htm";
    EXPECT_THAT(warned.at(&node("docs/a.txt")).pages, ElementsAre("index.htm"));
    // index.htm marked too: what only it linked to warns no more, and old.htm, published now, links to it.
    tree.find(web + "/index.htm")->setImage("home_n");
    const auto after = links.warnings(tree);
    EXPECT_FALSE(after.count(&node("docs/a.txt")));
    EXPECT_FALSE(after.count(&node("gone/pic.gif")));
    ASSERT_TRUE(after.count(&node("index.htm")));
    EXPECT_THAT(after.at(&node("index.htm")).pages, ElementsAre("old.htm"));
}

TEST_F(LinkWarningsTest, IntoAFolderCountsEverythingBeneath) {
    const LinkWarnings links = LinkWarnings::build(tree, app);
    const auto into = links.into(tree, node("gone"));
    EXPECT_EQ(into.links, 1u);
    EXPECT_THAT(into.pages, ElementsAre("index.htm"));
    EXPECT_EQ(links.into(tree, node("docs")).links, 0u) << "a published folder warns of nothing";
    EXPECT_EQ(terminal::pathBelowWeb(node("gone/pic.gif")), "gone/pic.gif");
    EXPECT_EQ(terminal::pathBelowWeb(*tree.find("ROOT")), ".");
}

} // namespace
