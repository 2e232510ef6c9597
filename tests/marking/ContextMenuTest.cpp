#include "host/Failure.h"
#include "marking/MarkingFixture.h"
#include "webtree/NodeImages.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

struct ContextMenuTest : testsupport::MarkingFixture {
    void SetUp() override {
        web.addFolder("outer");
        web.addMarkedFile("outer/x.gif");
        web.addFolder("outer/inner");
        web.addMarkedFile("outer/inner/pic.gif");
        web.addFile("outer/inner/a.txt");
        web.addFile("index.htm");
        web.addMarkedFile("draft.htm");
        web.setHomePage("index.htm");
        load();
    }
};

} // namespace

TEST_F(ContextMenuTest, OnlyTheRightButtonPopsUpTheMenuWithTheSelectedNodesState) {
    tree().select(&node("draft.htm"));
    form.tvwWeb_MouseUp(1, 0, 5, 5);
    form.tvwWeb_MouseUp(4, 0, 5, 5);
    EXPECT_THAT(services.popups, IsEmpty());

    services.chooseFromMenu = false;
    form.tvwWeb_MouseUp(2, 0, 5, 7);
    ASSERT_EQ(services.popups.size(), 1u);
    EXPECT_TRUE(services.popups[0].checked);
    EXPECT_EQ(services.popups[0].y, 7);

    tree().select(&node("index.htm"));
    form.tvwWeb_MouseUp(2, 0, 5, 5);
    EXPECT_FALSE(services.popups.at(1).checked);
    EXPECT_THAT(writes(), IsEmpty()) << "a dismissed menu changes nothing";
    EXPECT_EQ(keys("index.htm"), "home/home");
}

TEST_F(ContextMenuTest, NothingSelectedOrTheRootDoesNothing) {
    form.tvwWeb_MouseUp(2, 0, 0, 0);
    form.mnuNoPublish_Click();
    EXPECT_THAT(services.popups, IsEmpty());

    toggle("");
    ASSERT_EQ(services.popups.size(), 1u);
    EXPECT_FALSE(services.popups[0].checked);
    form.setNoPublishChecked(true);
    form.mnuNoPublish_Click();
    EXPECT_THAT(web.calls(), IsEmpty()) << "no host call at all";
    EXPECT_EQ(keys(""), "web/web");
}

TEST_F(ContextMenuTest, PublishingAFileClearsItAndItsParentOnly) {
    ASSERT_EQ(keys("outer/inner"), "closed/open");
    setKeys("outer/inner", "closed_n", "open_n");
    setKeys("outer", "closed_n", "open_n");

    toggle("outer/inner/pic.gif");
    EXPECT_TRUE(services.popups.back().checked);
    EXPECT_EQ(keys("outer/inner/pic.gif"), "gif/gif");
    EXPECT_EQ(keys("outer/inner"), "closed/open");
    EXPECT_EQ(keys("outer"), "closed_n/open_n") << "the grandparent keeps its images";
    EXPECT_FALSE(form.mnuNoPublishChecked());
    EXPECT_THAT(writes(), ElementsAre("remove outer/inner/pic.gif", "apply outer/inner/pic.gif"));
    EXPECT_FALSE(web.at("outer/inner/pic.gif").marked());
}

TEST_F(ContextMenuTest, MarkingAFileLeavesItsParentAlone) {
    toggle("outer/inner/a.txt");
    EXPECT_FALSE(services.popups.back().checked);
    EXPECT_EQ(keys("outer/inner/a.txt"), "text_n/text_n");
    EXPECT_EQ(keys("outer/inner"), "closed/open") << "even though every file in it is now marked";
    EXPECT_TRUE(form.mnuNoPublishChecked());
    EXPECT_THAT(writes(), ElementsAre("set outer/inner/a.txt", "apply outer/inner/a.txt"));
    EXPECT_TRUE(web.at("outer/inner/a.txt").marked());

    toggle("index.htm");
    EXPECT_EQ(keys("index.htm"), "home_n/home_n");
    toggle("index.htm");
    EXPECT_EQ(keys("index.htm"), "home/home");
    EXPECT_FALSE(web.at("index.htm").marked());
}

TEST_F(ContextMenuTest, AFileTheWebCannotFindStillChangesInTheTree) {
    web.at("index.htm").hiddenFromLocate = true;
    toggle("index.htm");
    EXPECT_EQ(keys("index.htm"), "home_n/home_n");
    EXPECT_TRUE(form.mnuNoPublishChecked());
    EXPECT_FALSE(web.at("index.htm").marked());
    EXPECT_THAT(writes(), IsEmpty());
}

TEST_F(ContextMenuTest, FoldersGoThroughTheTwoPropagations) {
    // "closed" with the check off: mark the children, then walk up.
    toggle("outer/inner");
    EXPECT_FALSE(services.popups.back().checked);
    EXPECT_THAT(writes(), ElementsAre("set outer/inner/pic.gif", "apply outer/inner/pic.gif", //
                                      "set outer/inner/pic.gif", "apply outer/inner/pic.gif", //
                                      "set outer/inner/a.txt", "apply outer/inner/a.txt",     //
                                      "set outer/inner/a.txt", "apply outer/inner/a.txt",     //
                                      "set outer/inner", "apply outer/inner"));
    EXPECT_EQ(keys("outer/inner"), "closed_n/open_n");
    EXPECT_EQ(keys("outer"), "closed/open");

    // "closed_n" with the check on: publish the children, then walk up.
    web.clearCalls();
    toggle("outer/inner");
    EXPECT_TRUE(services.popups.back().checked);
    EXPECT_THAT(writes(), ElementsAre("remove outer/inner", "apply outer/inner",                 //
                                      "remove outer/inner/pic.gif", "apply outer/inner/pic.gif", //
                                      "remove outer/inner/pic.gif", "apply outer/inner/pic.gif", //
                                      "remove outer/inner/a.txt", "apply outer/inner/a.txt",     //
                                      "remove outer/inner/a.txt", "apply outer/inner/a.txt"));
    EXPECT_EQ(keys("outer/inner/pic.gif"), "gif/gif");
    EXPECT_EQ(keys("outer/inner"), "closed/open");
}

TEST_F(ContextMenuTest, AFailureEndsTheCommandAndKeepsWhatWasDone) {
    web.failOperation("Web.locate");
    EXPECT_THROW(toggle("index.htm"), host::Failure);
    EXPECT_EQ(keys("index.htm"), "home_n/home_n") << "the images changed before the host was reached";
    EXPECT_TRUE(form.mnuNoPublishChecked());
    tree().failOperation("refresh");
    EXPECT_THROW(toggle("draft.htm"), host::Failure);
    EXPECT_EQ(keys("draft.htm"), "page/page");
    EXPECT_EQ(web.liveObjects(), 0u);
}

TEST(MarkSuffix, IsExactAndEveryOccurrenceIsRemoved) {
    EXPECT_TRUE(webtree::hasMarkSuffix("closed_n"));
    EXPECT_FALSE(webtree::hasMarkSuffix("closed_N"));
    EXPECT_FALSE(webtree::hasMarkSuffix("n"));
    EXPECT_FALSE(webtree::hasMarkSuffix("_n_"));
    EXPECT_EQ(webtree::stripMarkSuffix("a_n_n"), "a");
    EXPECT_EQ(webtree::stripMarkSuffix("x_nb_n"), "xb");
    EXPECT_EQ(webtree::stripMarkSuffix("__nn"), "_n")
        << "one left-to-right pass, like the platform's replace";
    EXPECT_EQ(webtree::stripMarkSuffix("page_N"), "page_N");
}
