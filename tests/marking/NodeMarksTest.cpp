#include "host/Failure.h"
#include "marking/MarkingFixture.h"
#include "window/ImageKeys.h"

#include <gmock/gmock.h>

using host::Value;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

namespace {

struct NodeMarksTest : testsupport::MarkingFixture {};

// A bare tree whose root has the given text, with one child of the given text.
struct PathTree {
    host::TreeModel tree{window::imageKeyList()};
    host::Node* childNode = nullptr;
    PathTree(const std::string& rootText, const std::string& childText) {
        tree.add(std::nullopt, "ROOT", rootText, "web", "web");
        childNode = &tree.add("ROOT", "c", childText, "page", "page");
    }
    host::Node& child() { return *childNode; }
};

} // namespace

TEST_F(NodeMarksTest, IsFileNodeIsTrueForFilesAndMarkedFolders) {
    web.addFile("a.htm");
    load();
    host::Node& n = node("a.htm");
    for (const char* key : {"closed", "open", "web"}) {
        setKeys("a.htm", key, key);
        EXPECT_FALSE(form.IsFileNode(n)) << key;
    }
    for (const char* key : {"closed_n", "open_n", "home", "unknown_n", "page", "home_n"}) {
        setKeys("a.htm", key, key);
        EXPECT_TRUE(form.IsFileNode(n)) << key;
    }
}

TEST_F(NodeMarksTest, GetNodeUrlNormalisesSeparatorsByTheWebKind) {
    PathTree http("HtTp://Srv/Web", "Sub/A b.HTM");
    EXPECT_EQ(form.GetNodeUrl(http.child()), "HtTp://Srv/Web/Sub/A b.HTM");
    PathTree drive("C:\\My Webs/site", "sub/x.htm");
    EXPECT_EQ(form.GetNodeUrl(drive.child()), "C:\\My Webs\\site\\sub\\x.htm");
    PathTree unix("/srv/www", "a.htm");
    EXPECT_EQ(form.GetNodeUrl(unix.child()), "\\srv\\www\\a.htm");
    PathTree shortRoot("ht", "p");
    EXPECT_EQ(form.GetNodeUrl(shortRoot.tree.nodeByIndex(1)), "ht");
    EXPECT_EQ(form.GetNodeUrl(shortRoot.child()), "ht\\p");
    PathTree almost("htt/", "x");
    EXPECT_EQ(form.GetNodeUrl(almost.child()), "htt\\\\x");
}

TEST_F(NodeMarksTest, MarkAndUnmarkNodeImagesChangeBothKeysOnlyWhenNeeded) {
    web.addFolder("f");
    web.addFile("f/a.htm");
    load();
    const auto before = tree().refreshCount();
    form.MarkNodeImages(node("f"));
    EXPECT_EQ(keys("f"), "closed_n/open_n");
    EXPECT_EQ(tree().refreshCount(), before + 1);
    form.MarkNodeImages(node("f"));
    EXPECT_EQ(keys("f"), "closed_n/open_n");
    EXPECT_EQ(tree().refreshCount(), before + 1) << "no refresh when already marked";

    setKeys("f/a.htm", "page_n", "page_n");
    form.UnmarkNodeImages(node("f/a.htm"));
    EXPECT_EQ(keys("f/a.htm"), "page/page");
    EXPECT_EQ(tree().refreshCount(), before + 2);
    setKeys("f", "closed", "open_n");
    form.UnmarkNodeImages(node("f"));
    EXPECT_EQ(keys("f"), "closed/open_n") << "only the image key is tested";
    EXPECT_EQ(tree().refreshCount(), before + 2);
}

TEST_F(NodeMarksTest, WriteItemMarkSetsTrueAndApplies) {
    web.addFolder("f");
    auto& file = web.addFile("f/a.htm");
    load();
    form.WriteItemMark(node("f/a.htm"), true);
    EXPECT_THAT(writes(), ElementsAre("set f/a.htm", "apply f/a.htm"));
    EXPECT_EQ(file.properties.at("vti_donotpublish"), Value::boolean(true));
    form.WriteItemMark(node("f"), true);
    EXPECT_TRUE(web.at("f").marked()) << "folders are located and written like files";
    EXPECT_EQ(web.liveObjects(), 0u);
}

TEST_F(NodeMarksTest, WriteItemMarkRunsBothStepsAndReportsAWriteThatFailed) {
    web.addFile("a.htm");
    load();
    EXPECT_NO_THROW(form.WriteItemMark(node("a.htm"), false)) << "removing an absent mark";
    EXPECT_THAT(writes(), ElementsAre("remove a.htm", "apply a.htm"));

    // Each failing step: the other one still runs, and the write fails at its end with the item and cause.
    for (const char* step : {"Properties.set", "Properties.apply", "File.properties"}) {
        web.clearCalls();
        web.clearFaults();
        web.failOperation(step);
        try {
            form.WriteItemMark(node("a.htm"), true);
            ADD_FAILURE() << step << ": a write that failed must not pass as done";
        } catch (const host::Failure& f) {
            EXPECT_EQ(f.status(), host::status::Injected) << step;
            EXPECT_THAT(f.what(), StartsWith("could not write the mark of 1 of 1 item: http://srv/web/a.htm: "
                                             "injected failure of " +
                                             std::string(step) + " http://srv/web/a.htm"))
                << step;
        }
        EXPECT_FALSE(web.at("a.htm").marked()) << step;
        EXPECT_EQ(web.liveObjects(), 0u) << step;
    }
    web.clearCalls();
    web.clearFaults();
    web.failOperation("Properties.set");
    EXPECT_THROW(form.WriteItemMark(node("a.htm"), true), host::Failure);
    EXPECT_THAT(writes(), ElementsAre("set a.htm", "apply a.htm")) << "the apply still runs";

    // Removing a mark that is there fails like any other write.
    web.clearFaults();
    form.WriteItemMark(node("a.htm"), true);
    ASSERT_TRUE(web.at("a.htm").marked());
    web.failOperation("Properties.remove");
    EXPECT_THROW(form.WriteItemMark(node("a.htm"), false), host::Failure);
    EXPECT_TRUE(web.at("a.htm").marked());
    web.clearFaults();
    EXPECT_NO_THROW(form.WriteItemMark(node("a.htm"), false)) << "a failure is not carried to the next write";
    EXPECT_FALSE(web.at("a.htm").marked());
}

TEST_F(NodeMarksTest, WriteItemMarkFailsOnlyWhenTheItemCannotBeReached) {
    web.addFile("a.htm");
    web.addFile("b.htm");
    load();
    web.at("b.htm").hiddenFromLocate = true;
    EXPECT_NO_THROW(form.WriteItemMark(node("b.htm"), true)) << "an item the web returns as none";
    EXPECT_THAT(writes(), IsEmpty());

    web.failOperation("Web.locate", "http://srv/web/a.htm");
    try {
        form.WriteItemMark(node("a.htm"), true);
        FAIL() << "a failing locate must reach the caller";
    } catch (const host::Failure& f) {
        EXPECT_EQ(f.status(), host::status::Injected);
    }
    web.clearFaults();
    app.closeWeb();
    EXPECT_THROW(form.WriteItemMark(node("a.htm"), true), host::Failure);
    EXPECT_THAT(writes(), IsEmpty());
}
