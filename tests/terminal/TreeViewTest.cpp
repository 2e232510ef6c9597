#include "app/terminal/TreeView.h"

#include "window/ImageKeys.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using terminal::TreeView;
using ::testing::ElementsAre;

namespace {

// ROOT > docs > (a.txt, b.txt, sub > deep.txt), img > x.gif, index.htm; the root expanded, as filled.
struct TreeViewTest : ::testing::Test {
    host::TreeModel tree{window::imageKeyList()};
    TreeView view{tree};

    TreeViewTest() {
        tree.add(std::nullopt, "ROOT", "/web", "web", "web");
        tree.add("ROOT", "docs", "docs", "closed", "open");
        tree.add("docs", "a", "a.txt", "text", "text");
        tree.add("docs", "b", "b.txt", "text_n", "text_n");
        tree.add("docs", "sub", "sub", "closed", "open");
        tree.add("sub", "deep", "deep.txt", "text", "text");
        tree.add("ROOT", "img", "img", "closed", "open");
        tree.add("img", "x", "x.gif", "gif", "gif");
        tree.add("ROOT", "index", "index.htm", "home", "home");
        tree.find("ROOT")->setExpanded(true);
        view.update();
    }

    std::vector<std::string> shown() {
        view.update();
        std::vector<std::string> out;
        for (const auto& row : view.rows())
            out.push_back(std::string(row.depth * 2, ' ') + std::string(row.node->text()));
        return out;
    }
    std::string selected() const { return tree.selected() ? std::string(tree.selected()->text()) : "(none)"; }
    void select(const char* key) { tree.select(tree.find(key)); }
};

} // namespace

TEST_F(TreeViewTest, RowsFollowTheExpandedStateInTreeOrder) {
    EXPECT_THAT(shown(), ElementsAre("/web", "  docs", "  img", "  index.htm"));
    tree.find("docs")->setExpanded(true);
    EXPECT_THAT(shown(),
                ElementsAre("/web", "  docs", "    a.txt", "    b.txt", "    sub", "  img", "  index.htm"));
    tree.find("sub")->setExpanded(true);
    tree.find("docs")->setExpanded(false);
    EXPECT_THAT(shown(), ElementsAre("/web", "  docs", "  img", "  index.htm"))
        << "an expanded node inside a folded one stays hidden";
    tree.find("ROOT")->setExpanded(false);
    EXPECT_THAT(shown(), ElementsAre("/web"));
}

TEST_F(TreeViewTest, UpDownAndTheEndsSelectThroughTheModelAndStopAtTheEnds) {
    EXPECT_EQ(selected(), "(none)");
    view.moveBy(1);
    EXPECT_EQ(selected(), "/web") << "the first move selects the first row";
    view.moveBy(-1);
    EXPECT_EQ(selected(), "/web");
    view.moveBy(2);
    EXPECT_EQ(selected(), "img");
    view.moveBy(100);
    EXPECT_EQ(selected(), "index.htm");
    view.moveToFirst();
    EXPECT_EQ(selected(), "/web");
    view.moveToLast();
    EXPECT_EQ(selected(), "index.htm");
    EXPECT_EQ(view.selectedRow(), 3u);
}

TEST_F(TreeViewTest, PagesMoveByOneViewLessOneRow) {
    tree.find("docs")->setExpanded(true); // 7 rows
    view.setHeight(3);
    view.moveToFirst();
    view.pageDown();
    EXPECT_EQ(selected(), "a.txt");
    view.pageDown();
    EXPECT_EQ(selected(), "sub");
    view.pageUp();
    EXPECT_EQ(selected(), "a.txt");
}

TEST_F(TreeViewTest, RightExpandsThenStepsInLeftFoldsThenStepsOut) {
    select("docs");
    view.expandOrDescend();
    EXPECT_TRUE(tree.find("docs")->expanded());
    EXPECT_EQ(selected(), "docs");
    view.expandOrDescend();
    EXPECT_EQ(selected(), "a.txt");
    view.expandOrDescend();
    EXPECT_EQ(selected(), "a.txt") << "a file has nothing to expand";
    view.collapseOrAscend();
    EXPECT_EQ(selected(), "docs");
    EXPECT_TRUE(tree.find("docs")->expanded());
    view.collapseOrAscend();
    EXPECT_FALSE(tree.find("docs")->expanded());
    view.collapseOrAscend();
    EXPECT_EQ(selected(), "/web");
    view.collapseOrAscend();
    EXPECT_FALSE(tree.find("ROOT")->expanded());
    view.collapseOrAscend();
    EXPECT_EQ(selected(), "/web") << "the root has no parent to go to";
}

TEST_F(TreeViewTest, FoldingAFolderThatHoldsTheSelectionSelectsTheFolder) {
    tree.find("docs")->setExpanded(true);
    tree.find("sub")->setExpanded(true);
    select("deep");
    view.toggle(*tree.find("docs"));
    EXPECT_EQ(selected(), "docs") << "the selection must not stay on a row nobody can see";
    EXPECT_FALSE(tree.find("docs")->expanded());

    select("index");
    view.toggle(*tree.find("img"));
    EXPECT_TRUE(tree.find("img")->expanded());
    view.toggle(*tree.find("img"));
    EXPECT_EQ(selected(), "index.htm") << "folding elsewhere leaves the selection alone";
    view.toggle(*tree.find("index"));
    EXPECT_FALSE(tree.find("index")->expanded()) << "a file does not fold";
}

TEST_F(TreeViewTest, TheViewScrollsWithTheSelectionAndStaysInRange) {
    tree.find("docs")->setExpanded(true);
    tree.find("sub")->setExpanded(true);
    tree.find("img")->setExpanded(true); // 9 rows
    view.update();
    view.setHeight(4);
    view.moveToLast();
    EXPECT_EQ(view.top(), 5u);
    view.moveBy(-4);
    EXPECT_EQ(view.top(), 4u) << "moving up past the top scrolls one row";
    view.moveToFirst();
    EXPECT_EQ(view.top(), 0u);

    view.scrollBy(100);
    EXPECT_EQ(view.top(), 5u) << "the wheel stops at the last full view";
    EXPECT_EQ(selected(), "/web") << "the wheel does not move the selection";
    view.scrollBy(-100);
    EXPECT_EQ(view.top(), 0u);

    view.scrollBy(6);
    tree.find("ROOT")->setExpanded(false);
    view.update();
    EXPECT_EQ(view.top(), 0u) << "a view left past the end of fewer rows comes back";
}

TEST_F(TreeViewTest, EnsureSelectionPicksTheFirstRowOnlyWhenNothingIsSelected) {
    view.ensureSelection();
    EXPECT_EQ(selected(), "/web");
    select("index");
    view.ensureSelection();
    EXPECT_EQ(selected(), "index.htm");

    host::TreeModel empty{window::imageKeyList()};
    TreeView emptyView{empty};
    emptyView.ensureSelection();
    emptyView.moveBy(1);
    emptyView.moveToLast();
    EXPECT_EQ(empty.selected(), nullptr);
}
