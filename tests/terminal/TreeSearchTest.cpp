#include "app/terminal/TreeSearch.h"

#include "app/terminal/PathCompletion.h"
#include "support/TempDir.h"
#include "window/ImageKeys.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using terminal::findNode;
using ::testing::ElementsAre;

namespace {

// ROOT > docs > (Alpha.txt, beta.txt, sub > alpine.htm), img > x.gif, about.htm; only the root expanded.
struct TreeSearchTest : ::testing::Test {
    host::TreeModel tree{window::imageKeyList()};

    TreeSearchTest() {
        tree.add(std::nullopt, "ROOT", "/web", "web", "web");
        tree.add("ROOT", "docs", "docs", "closed", "open");
        tree.add("docs", "alpha", "Alpha.txt", "text", "text");
        tree.add("docs", "beta", "beta.txt", "text", "text");
        tree.add("docs", "sub", "sub", "closed", "open");
        tree.add("sub", "alpine", "alpine.htm", "page", "page");
        tree.add("ROOT", "img", "img", "closed", "open");
        tree.add("img", "x", "x.gif", "gif", "gif");
        tree.add("ROOT", "about", "about.htm", "page", "page");
        tree.find("ROOT")->setExpanded(true);
    }
    host::Node* node(const char* key) { return tree.find(key); }
};

TEST_F(TreeSearchTest, FindsInFoldedFoldersIgnoringCaseAndWrapsRound) {
    EXPECT_EQ(findNode(tree, node("ROOT"), "ALP", true), node("alpha"));
    EXPECT_EQ(findNode(tree, node("alpha"), "alp", true), node("alpine")) << "inside a folded sub-folder";
    EXPECT_EQ(findNode(tree, node("alpine"), "alp", true), node("alpha")) << "wraps round to the start";
    EXPECT_EQ(findNode(tree, node("alpha"), "alp", false), node("alpine")) << "backwards wraps to the end";
    EXPECT_EQ(findNode(tree, node("alpine"), "alp", false), node("alpha"));
    EXPECT_EQ(findNode(tree, node("alpha"), "Alpha", true), node("alpha")) << "the only match is itself";
    EXPECT_EQ(findNode(tree, nullptr, ".htm", true), node("alpine"));
    EXPECT_EQ(findNode(tree, node("ROOT"), "nothing", true), nullptr);
    EXPECT_EQ(findNode(tree, node("ROOT"), "", true), nullptr);
}

TEST_F(TreeSearchTest, ExpandingAboveAndBeneath) {
    terminal::expandAbove(*node("alpine"));
    EXPECT_TRUE(node("docs")->expanded());
    EXPECT_TRUE(node("sub")->expanded());
    EXPECT_FALSE(node("img")->expanded());
    terminal::expandAll(*node("ROOT"));
    EXPECT_TRUE(node("img")->expanded());
    EXPECT_FALSE(node("x")->expanded()) << "a file has nothing to expand";
}

TEST_F(TreeSearchTest, TypeAheadOverTheRowsThatShow) {
    node("docs")->setExpanded(true);
    const auto rows = terminal::visibleRows(tree);
    // ROOT, docs, Alpha.txt, beta.txt, sub, img, about.htm
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(terminal::typeAheadRow(rows, 0, "a"), 2u);
    EXPECT_EQ(terminal::typeAheadRow(rows, 2, "a"), 6u) << "the same letter again goes on to the next";
    EXPECT_EQ(terminal::typeAheadRow(rows, 6, "a"), 2u) << "and wraps round";
    EXPECT_EQ(terminal::typeAheadRow(rows, 2, "al"), 2u) << "a longer prefix stays while it still matches";
    EXPECT_EQ(terminal::typeAheadRow(rows, 2, "ab"), 6u);
    EXPECT_EQ(terminal::typeAheadRow(rows, 0, "alpine"), std::nullopt) << "a folded row is not typed to";
    EXPECT_EQ(terminal::typeAheadRow(rows, std::nullopt, "b"), 3u);
}

TEST(PathCompletion, CompletesFolderNamesOnly) {
    testsupport::TempDir dir;
    dir.mkdir("webs/site-one");
    dir.mkdir("webs/site-two");
    dir.mkdir("webs/other");
    dir.mkdir("webs/.hidden");
    dir.write("webs/site-file.txt", "x");
    const std::string base = (dir / "webs").string();

    auto c = terminal::completeFolder(base + "/ot");
    EXPECT_EQ(c.text, base + "/other/");
    EXPECT_TRUE(c.candidates.empty());

    c = terminal::completeFolder(base + "/s");
    EXPECT_EQ(c.text, base + "/site-") << "as far as the folders agree; the file does not count";
    EXPECT_THAT(c.candidates, ElementsAre("site-one", "site-two"));

    c = terminal::completeFolder(base + "/");
    EXPECT_THAT(c.candidates, ElementsAre("other", "site-one", "site-two")) << "hidden folders stay hidden";
    EXPECT_EQ(terminal::completeFolder(base + "/.h").text, base + "/.hidden/");

    c = terminal::completeFolder(base + "/zzz");
    EXPECT_EQ(c.text, base + "/zzz");
    EXPECT_TRUE(c.candidates.empty());
    EXPECT_EQ(terminal::completeFolder(base + "/missing/x").text, base + "/missing/x");
}

TEST(PathCompletion, ReadsTildeAsTheHomeFolder) {
    testsupport::TempDir dir;
    dir.mkdir("home/webs");
    const char* old = std::getenv("HOME");
    const std::string saved = old ? old : "";
    ::setenv("HOME", (dir / "home").c_str(), 1);
    const auto c = terminal::completeFolder("~/we");
    if (old)
        ::setenv("HOME", saved.c_str(), 1);
    else
        ::unsetenv("HOME");
    EXPECT_EQ(c.text, "~/webs/") << "the typed ~ stays, the folder is looked up at home";
}

} // namespace
