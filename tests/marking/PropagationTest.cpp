#include "host/Failure.h"
#include "marking/MarkingFixture.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

struct PropagationTest : testsupport::MarkingFixture {};

} // namespace

TEST_F(PropagationTest, PublishingAMarkedFolderClearsItsWholeSubtree) {
    web.addFolder("f");
    web.addMarkedFile("f/a.gif");
    web.addFolder("f/marked");
    web.addMarkedFile("f/marked/b.gif");
    web.addFolder("f/published");
    web.addFile("f/published/c.gif");
    web.at("f").properties["vti_donotpublish"] = host::Value::boolean(true);
    load();
    setKeys("f", "closed_n", "open_n"); // as if its last published file had been marked since

    form.ApplyPublishState(node("f"), true);
    for (const char* path :
         {"f", "f/a.gif", "f/marked", "f/marked/b.gif", "f/published", "f/published/c.gif"}) {
        EXPECT_FALSE(web.at(path).marked()) << path;
        EXPECT_EQ(node(path).image().find("_n"), std::string::npos) << path;
        EXPECT_EQ(node(path).selectedImage().find("_n"), std::string::npos) << path;
    }
    EXPECT_THAT(writes(), ElementsAre("remove f", "apply f",               // the folder itself
                                      "remove f/a.gif", "apply f/a.gif",   // from its parent's pass
                                      "remove f/a.gif", "apply f/a.gif",   // and its own call
                                      "remove f/marked", "apply f/marked", //
                                      "remove f/marked", "apply f/marked", //
                                      "remove f/marked/b.gif", "apply f/marked/b.gif", //
                                      "remove f/marked/b.gif", "apply f/marked/b.gif", //
                                      "remove f/published", "apply f/published",       // unmarked: once
                                      "remove f/published/c.gif", "apply f/published/c.gif",
                                      "remove f/published/c.gif", "apply f/published/c.gif"));
    EXPECT_EQ(web.liveObjects(), 0u);
}

TEST_F(PropagationTest, MarkingAFolderSuffixesItRightAfterItsFirstChildIsWritten) {
    web.addFolder("f");
    web.addFile("f/a.htm");
    web.addFolder("f/s");
    web.addFile("f/s/b.htm");
    load();
    std::vector<std::string> folderKeysAtRefresh;
    tree().setListener(
        [&] { folderKeysAtRefresh.push_back(std::to_string(writes().size()) + ":" + keys("f")); });

    form.PropUnPublishToChildren(node("f"));
    ASSERT_FALSE(folderKeysAtRefresh.empty());
    EXPECT_EQ(folderKeysAtRefresh.front(), "2:closed_n/open_n") << "after set+apply of the first child";
    EXPECT_THAT(writes(),
                ElementsAre("set f/a.htm", "apply f/a.htm", "set f/a.htm", "apply f/a.htm", //
                            "set f/s", "apply f/s",                                         //
                            "set f/s/b.htm", "apply f/s/b.htm", "set f/s/b.htm", "apply f/s/b.htm"));
    EXPECT_FALSE(web.at("f").marked()) << "the start folder's own item waits for the walk up";
    for (const char* path : {"f/a.htm", "f/s", "f/s/b.htm"})
        EXPECT_TRUE(web.at(path).marked()) << path;
    EXPECT_EQ(keys("f/a.htm"), "page_n/page_n");
    EXPECT_EQ(keys("f/s"), "closed_n/open_n");
    EXPECT_EQ(keys("f/s/b.htm"), "page_n/page_n");

    web.clearCalls();
    form.PropUnPublishToParents(node("f"));
    EXPECT_THAT(writes(), ElementsAre("set f", "apply f")) << "the root is never written";
    EXPECT_TRUE(web.at("f").marked());
}

TEST_F(PropagationTest, MarkingKeepsTheKeysOfAnAlreadyMarkedSubFolderAndWritesItTwice) {
    web.addFolder("f");
    web.addFile("f/a.htm");
    web.addFolder("f/m");
    web.addMarkedFile("f/m/x.gif");
    load();
    ASSERT_EQ(keys("f/m"), "closed_n/open_n");
    form.ApplyPublishState(node("f"), false);
    EXPECT_EQ(keys("f/m"), "closed_n/open_n");
    const auto w = writes();
    EXPECT_EQ(std::count(w.begin(), w.end(), "set f/m"), 2);
    EXPECT_EQ(std::count(w.begin(), w.end(), "set f"), 1);
}

TEST_F(PropagationTest, AnEmptyPublishedFolderIsMarkedLikeAnyOther) {
    web.addFolder("f");
    web.addFolder("f/empty");
    web.addFile("f/a.htm");
    load();
    setKeys("f/empty", "closed", "open"); // published since the tree was filled
    form.ApplyPublishState(node("f/empty"), false);
    EXPECT_EQ(keys("f/empty"), "closed_n/open_n");
    EXPECT_TRUE(web.at("f/empty").marked());
    EXPECT_THAT(writes(), ElementsAre("set f/empty", "apply f/empty"));

    // Reached by the marking of its parent: the same.
    form.ApplyPublishState(node("f/empty"), true);
    EXPECT_EQ(keys("f/empty"), "closed/open");
    form.ApplyPublishState(node("f"), false);
    EXPECT_EQ(keys("f/empty"), "closed_n/open_n");
    EXPECT_TRUE(web.at("f/empty").marked());
}

TEST_F(PropagationTest, AChildThatCannotBeLocatedStopsThePropagation) {
    web.addFolder("f");
    for (const char* name : {"f/1.htm", "f/2.htm", "f/3.htm", "f/4.htm"})
        web.addFile(name);
    load();
    web.failOperation("Web.locate", "http://srv/web/f/3.htm");
    EXPECT_THROW(form.ApplyPublishState(node("f"), false), host::Failure);
    EXPECT_TRUE(web.at("f/1.htm").marked());
    EXPECT_TRUE(web.at("f/2.htm").marked());
    EXPECT_FALSE(web.at("f/3.htm").marked());
    EXPECT_FALSE(web.at("f/4.htm").marked());
    EXPECT_FALSE(web.at("f").marked()) << "the walk up never ran";
    EXPECT_EQ(keys("f/1.htm"), "page_n/page_n");
    EXPECT_EQ(keys("f/2.htm"), "page_n/page_n");
    EXPECT_EQ(keys("f/3.htm"), "page/page");
    EXPECT_EQ(keys("f"), "closed_n/open_n") << "what was done stays";
    EXPECT_EQ(web.liveObjects(), 0u);
}

TEST_F(PropagationTest, TheWalkUpWritesOnlyMarkedFolders) {
    web.addFolder("outer");
    web.addFolder("outer/inner");
    web.addFolder("outer/inner/f");
    web.addFile("outer/inner/f/a.htm");
    load();

    // Inside unmarked folders: only the folder itself.
    form.ApplyPublishState(node("outer/inner/f"), false);
    EXPECT_THAT(writes(),
                ElementsAre("set outer/inner/f/a.htm", "apply outer/inner/f/a.htm", "set outer/inner/f/a.htm",
                            "apply outer/inner/f/a.htm", "set outer/inner/f", "apply outer/inner/f"));

    // Inside marked folders: marking writes them again, publishing clears them nearest first.
    setKeys("outer/inner", "closed_n", "open_n");
    setKeys("outer", "closed_n", "open_n");
    web.clearCalls();
    form.PropUnPublishToParents(node("outer/inner/f"));
    EXPECT_THAT(writes(), ElementsAre("set outer/inner/f", "apply outer/inner/f", "set outer/inner",
                                      "apply outer/inner", "set outer", "apply outer"));
    web.clearCalls();
    form.ApplyPublishState(node("outer/inner/f"), true);
    EXPECT_THAT(writes(),
                ElementsAre("remove outer/inner/f", "apply outer/inner/f",             //
                            "remove outer/inner/f/a.htm", "apply outer/inner/f/a.htm", //
                            "remove outer/inner/f/a.htm", "apply outer/inner/f/a.htm", //
                            "remove outer/inner", "apply outer/inner", "remove outer", "apply outer"));
    EXPECT_EQ(keys("outer/inner"), "closed/open") << "a containing folder published again shows published";
    EXPECT_EQ(keys("outer"), "closed/open");
    EXPECT_FALSE(web.at("outer").marked());
}

TEST_F(PropagationTest, TheRootIsNeverWrittenAndAFileIsWrittenBeforeTheWalkUp) {
    web.addFolder("f");
    web.addFile("f/a.htm");
    load();
    form.PropPublishToParents(node(""));
    form.PropUnPublishToParents(node(""));
    EXPECT_THAT(writes(), IsEmpty());

    setKeys("f", "closed_n", "open_n");
    form.PropUnPublishToParents(node("f/a.htm"));
    EXPECT_THAT(writes(), ElementsAre("set f/a.htm", "apply f/a.htm", "set f", "apply f"));
}

TEST_F(PropagationTest, AFailingWalkUpKeepsWhatWasWrittenBelow) {
    web.addFolder("outer");
    web.addFolder("outer/f");
    web.addFile("outer/f/a.htm");
    load();
    setKeys("outer", "closed_n", "open_n");
    web.failOperation("Web.locate", "http://srv/web/outer");
    EXPECT_THROW(form.ApplyPublishState(node("outer/f"), false), host::Failure);
    EXPECT_TRUE(web.at("outer/f").marked());
    EXPECT_TRUE(web.at("outer/f/a.htm").marked());
}
