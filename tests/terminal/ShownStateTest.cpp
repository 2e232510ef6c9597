#include "app/publishing/ShownState.h"

#include "window/ImageKeys.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using app::countBeneath;
using app::Shown;
using app::shownState;
using app::whyShown;
using ::testing::HasSubstr;

namespace {

// ROOT > docs (published, holds a marked file and a marked sub-folder), all (marked, everything marked),
// empty (marked, nothing in it), plain (published, nothing marked), index.htm.
struct ShownStateTest : ::testing::Test {
    host::TreeModel tree{window::imageKeyList()};

    ShownStateTest() {
        tree.add(std::nullopt, "ROOT", "/web", "web", "web");
        tree.add("ROOT", "docs", "docs", "closed", "open");
        tree.add("docs", "a", "a.txt", "text_n", "text_n");
        tree.add("docs", "b", "b.txt", "text", "text");
        tree.add("docs", "sub", "sub", "closed_n", "open_n");
        tree.add("sub", "deep", "deep.txt", "text_n", "text_n");
        tree.add("ROOT", "all", "all", "closed_n", "open_n");
        tree.add("all", "x", "x.gif", "gif_n", "gif_n");
        tree.add("ROOT", "empty", "empty", "closed_n", "open_n");
        tree.add("ROOT", "plain", "plain", "closed", "open");
        tree.add("plain", "p", "p.htm", "page", "page");
        tree.add("ROOT", "index", "index.htm", "home", "home");
    }
    const host::Node& node(const char* key) { return *tree.find(key); }
};

TEST_F(ShownStateTest, CountsWhatShowsMarkedBeneathEveryNode) {
    const auto counts = countBeneath(tree);
    EXPECT_EQ(counts.at(&node("docs")).marked, 3u); // a.txt, sub, deep.txt
    EXPECT_EQ(counts.at(&node("docs")).total, 4u);
    EXPECT_EQ(counts.at(&node("ROOT")).marked, 6u);
    EXPECT_EQ(counts.at(&node("ROOT")).total, 11u);
    EXPECT_EQ(counts.at(&node("empty")).total, 0u);
    EXPECT_EQ(counts.at(&node("a")).total, 0u);
}

TEST_F(ShownStateTest, ThreeStatesFromTheImageKeysAlone) {
    const auto counts = countBeneath(tree);
    auto state = [&](const char* key) { return shownState(node(key), counts.at(&node(key))); };
    EXPECT_EQ(state("docs"), Shown::Partly);
    EXPECT_EQ(state("ROOT"), Shown::Partly) << "the web itself holds items left out";
    EXPECT_EQ(state("all"), Shown::NotPublished);
    EXPECT_EQ(state("empty"), Shown::NotPublished);
    EXPECT_EQ(state("sub"), Shown::NotPublished) << "a marked folder is never partly";
    EXPECT_EQ(state("plain"), Shown::Published);
    EXPECT_EQ(state("a"), Shown::NotPublished);
    EXPECT_EQ(state("b"), Shown::Published);
    // Publishing a.txt and sub's file in the tree turns docs back to published.
    tree.find("a")->setImage("text");
    tree.find("sub")->setImage("closed");
    tree.find("deep")->setImage("text");
    const auto after = countBeneath(tree);
    EXPECT_EQ(shownState(node("docs"), after.at(&node("docs"))), Shown::Published);
}

TEST_F(ShownStateTest, WhyNamesTheOwnMarkAndWhatIsLeftOutBeneath) {
    const auto counts = countBeneath(tree);
    auto why = [&](const char* key, std::optional<bool> own) {
        return whyShown(node(key), counts.at(&node(key)), own);
    };
    EXPECT_EQ(why("a", true), "its own mark");
    EXPECT_EQ(why("b", false), "no mark of its own");
    EXPECT_EQ(why("empty", false), "nothing to publish inside");
    EXPECT_EQ(why("all", true), "its own mark; 1 of 1 item beneath left out");
    EXPECT_EQ(why("docs", true),
              "marked in the web, but holds published files; 3 of 4 items beneath left out");
    EXPECT_EQ(why("docs", false), "no mark of its own; 3 of 4 items beneath left out");
    EXPECT_EQ(why("plain", false), "no mark of its own; none of the 1 item beneath left out");
    EXPECT_EQ(why("ROOT", std::nullopt), "6 of 11 items beneath left out");
    EXPECT_EQ(why("a", false), "shown Don't Publish, but not marked in the web");
}

} // namespace
