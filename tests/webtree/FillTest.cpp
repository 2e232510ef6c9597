#include "webtree/Fill.h"

#include "host/Failure.h"
#include "host/memory/MemoryWeb.h"
#include "support/TreeDump.h"
#include "window/ImageKeys.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using host::Value;
using host::memory::MemoryApplication;
using host::memory::MemoryWeb;
using ::testing::ElementsAre;
using testsupport::dumpTree;

namespace {

struct FillTest : ::testing::Test {
    MemoryWeb web{"http://srv/web"};
    MemoryApplication app{&web};
    host::TreeModel tree{window::imageKeyList()};

    std::vector<std::string> fill() {
        webtree::Fill(app, tree);
        return dumpTree(tree);
    }
    const host::Node& node(const std::string& path) {
        const host::Node* n = tree.find(path.empty() ? "ROOT" : web.url() + "/" + path);
        if (n == nullptr)
            throw std::out_of_range(path);
        return *n;
    }
};

} // namespace

TEST_F(FillTest, TheWorkedExample) {
    web.addFolder("images");
    web.addFile("images/pic.jpg");
    web.addFolder("private");
    web.addFile("index.htm");
    web.addMarkedFile("logo.gif");
    web.setHomePage("index.htm");

    EXPECT_THAT(fill(), ElementsAre("http://srv/web web/web +",  //
                                    "  images closed/open",      //
                                    "    pic.jpg jpg/jpg",       //
                                    "  private closed_n/open_n", //
                                    "  index.htm home/home",     //
                                    "  logo.gif gif_n/gif_n"));
    EXPECT_EQ(node("images/pic.jpg").key(), "http://srv/web/images/pic.jpg");
    EXPECT_EQ(&tree.nodeByIndex(1), &node(""));
    EXPECT_EQ(web.liveObjects(), 0u) << "no host object outlives filling";
}

TEST_F(FillTest, AnEmptyWebIsTheRootAloneExpanded) {
    EXPECT_THAT(fill(), ElementsAre("http://srv/web web/web +"));
}

TEST_F(FillTest, RootListsFoldersFirstButOtherFoldersListFilesFirst) {
    web.addFile("z.htm");
    web.addFolder("b");
    web.addFolder("a");
    web.addFile("a.htm");
    web.addFolder("b/sub");
    web.addFile("b/y.txt");
    web.addFile("b/x.txt");
    web.addFile("b/sub/w.txt");

    EXPECT_THAT(fill(), ElementsAre("http://srv/web web/web +", //
                                    "  b closed/open",          //
                                    "    y.txt text/text",      //
                                    "    x.txt text/text",      //
                                    "    sub closed/open",      //
                                    "      w.txt text/text",    //
                                    "  a closed_n/open_n",      //
                                    "  z.htm page/page",        //
                                    "  a.htm page/page"));
}

TEST_F(FillTest, FolderMarksComeFromTheFilesBeneathThemAtAnyDepth) {
    web.addFolder("top");
    web.addFolder("top/mid");
    web.addFolder("top/mid/low");
    web.addFile("top/mid/low/deep.htm");
    web.addFolder("top/allmarked");
    web.addMarkedFile("top/allmarked/a.gif");
    web.addMarkedFile("top/allmarked/b.js");
    web.addFolder("empty");
    web.addFolder("nest");
    web.addFolder("nest/inner");
    web.addFolder("mixed");
    web.addMarkedFile("mixed/m.gif");
    web.addFile("mixed/u.gif");

    fill();
    for (const char* unmarked : {"top", "top/mid", "top/mid/low", "mixed"}) {
        EXPECT_EQ(node(unmarked).image(), "closed") << unmarked;
        EXPECT_EQ(node(unmarked).selectedImage(), "open") << unmarked;
    }
    for (const char* marked : {"top/allmarked", "empty", "nest", "nest/inner"}) {
        EXPECT_EQ(node(marked).image(), "closed_n") << marked;
        EXPECT_EQ(node(marked).selectedImage(), "open_n") << marked;
    }
    EXPECT_EQ(node("").image(), "web");
    EXPECT_TRUE(node("").expanded());
    for (const char* folder : {"top", "top/mid", "empty", "mixed"})
        EXPECT_FALSE(node(folder).expanded()) << folder;
}

TEST_F(FillTest, HomePageMarkIsReadAsABoolean) {
    const std::vector<std::pair<std::optional<Value>, std::string>> cases = {
        {Value::text("True"), "home_n"}, {Value::boolean(true), "home_n"}, {Value::text("true"), "home_n"},
        {Value::text("1"), "home_n"},    {Value::number(-1), "home_n"},    {std::nullopt, "home"},
        {Value::text("false"), "home"},  {Value::null(), "home"},          {Value::text("maybe"), "home"},
    };
    for (const auto& [mark, image] : cases) {
        MemoryWeb w("http://srv/web");
        auto& home = w.addFile("index.htm");
        if (mark)
            home.properties["vti_donotpublish"] = *mark;
        w.addFile("next.htm").properties["vti_donotpublish"] = Value::text("true");
        w.setHomePage("index.htm");
        MemoryApplication a(&w);
        host::TreeModel t(window::imageKeyList());
        webtree::Fill(a, t);
        EXPECT_EQ(t.find("http://srv/web/index.htm")->image(), image) << (mark ? describe(*mark) : "absent");
        EXPECT_EQ(t.find("http://srv/web/index.htm")->selectedImage(), image);
        // The next file is an ordinary page again, read by exact text.
        EXPECT_EQ(t.find("http://srv/web/next.htm")->image(), "page");
    }
}

TEST_F(FillTest, HomePageMarkReadIsGuardedInTheRootFolderOnly) {
    web.addFile("index.htm");
    web.setHomePage("index.htm");
    web.failOperation("Properties.item");
    fill();
    EXPECT_EQ(node("index.htm").image(), "home");

    MemoryWeb nested("http://srv/web");
    nested.addFolder("sub");
    nested.addFile("sub/index.htm");
    nested.addFile("sub/after.htm");
    nested.setHomePage("sub/index.htm");
    nested.failOperation("Properties.item", "http://srv/web/sub/index.htm");
    MemoryApplication a(&nested);
    host::TreeModel t(window::imageKeyList());
    EXPECT_THROW(webtree::Fill(a, t), host::Failure);
    EXPECT_EQ(t.count(), 2u) << "the root and the folder stay";
    EXPECT_EQ(t.find("http://srv/web/sub/after.htm"), nullptr);
}

TEST_F(FillTest, HomePageOutsideTheRootWithANullMarkIsUnmarked) {
    web.addFolder("sub");
    web.addFile("sub/start.htm").properties["vti_donotpublish"] = Value::null();
    web.setHomePage("sub/start.htm");
    fill();
    EXPECT_EQ(node("sub/start.htm").image(), "home");
    EXPECT_EQ(node("sub").image(), "closed");
}

TEST_F(FillTest, HomePageMatchesTheUrlExactly) {
    web.addFile("Index.htm");
    web.addFile("index.htm");
    web.setHomePage("index.htm");
    fill();
    EXPECT_EQ(node("Index.htm").image(), "page");
    EXPECT_EQ(node("index.htm").image(), "home");
}

TEST_F(FillTest, WithoutAHomePageEveryFileGetsItsKind) {
    web.addFile("index.htm");
    web.addMarkedFile("default.htm");
    fill();
    EXPECT_EQ(node("index.htm").image(), "page");
    EXPECT_EQ(node("default.htm").image(), "page_n");
}

TEST_F(FillTest, FullPathOfADeepFileIsTheWebUrlAndTheRelativeSteps) {
    web.addFolder("a");
    web.addFolder("a/b");
    web.addFile("a/b/c.htm");
    fill();
    EXPECT_EQ(node("a/b/c.htm").fullPath(), "http://srv/web\\a\\b\\c.htm");
    EXPECT_EQ(node("a/b/c.htm").text(), "c.htm");
}

TEST_F(FillTest, AFailingExtensionReadEndsFillingAndKeepsWhatWasAdded) {
    web.addFolder("f");
    web.addFile("f/one.htm");
    web.addFile("f/two.htm");
    web.addFile("f/three.htm");
    web.failOperation("File.extension", "http://srv/web/f/two.htm");
    EXPECT_THROW(fill(), host::Failure);
    EXPECT_THAT(dumpTree(tree),
                ElementsAre("http://srv/web web/web", "  f closed/open", "    one.htm page/page"));
    EXPECT_EQ(web.liveObjects(), 0u) << "the error path releases what it obtained";
}

TEST_F(FillTest, AFailingFileMarkReadDoesNotEndFilling) {
    web.addFolder("f");
    web.addMarkedFile("f/one.gif");
    web.addMarkedFile("f/two.gif");
    web.failOperation("Properties.item", "http://srv/web/f/one.gif");
    fill();
    EXPECT_EQ(node("f/one.gif").image(), "gif");
    EXPECT_EQ(node("f/two.gif").image(), "gif_n");
    EXPECT_EQ(node("f").image(), "closed");
}

TEST_F(FillTest, EveryHostCallThatFailsEndsFillingWithoutLeaks) {
    web.addFolder("f");
    web.addFolder("f/g");
    web.addMarkedFile("f/g/a.gif");
    web.addFile("f/b.htm");
    web.addFile("index.htm");
    web.setHomePage("index.htm");
    // Count the calls of a clean run, then fail each one in turn.
    webtree::Fill(app, tree);
    const std::size_t total = web.calls().size();
    const std::string lastCall = web.calls().back();
    ASSERT_GT(total, 10u);
    for (std::size_t n = 1; n <= total; ++n) {
        host::TreeModel t(window::imageKeyList());
        web.clearCalls();
        web.failNthCall(n);
        try {
            webtree::Fill(app, t);
        } catch (const host::Failure&) {
        }
        ASSERT_GE(web.calls().size(), n);
        const std::string failing = web.calls()[n - 1];
        const bool guarded =
            failing.rfind("Properties.item", 0) == 0 || failing.rfind("File.properties", 0) == 0;
        if (guarded)
            EXPECT_EQ(web.calls().back(), lastCall)
                << "a failing mark read (" << failing << ") does not end filling";
        else
            EXPECT_EQ(web.calls().size(), n) << "call " << n << " (" << failing << ") should end filling";
        EXPECT_EQ(web.liveObjects(), 0u) << "after failing " << failing;
        web.clearFaults();
    }
}

TEST_F(FillTest, NoOpenWebOrAFilledTreeFails) {
    app.closeWeb();
    EXPECT_THROW(fill(), host::Failure);
    app.openWeb(&web);
    fill();
    EXPECT_THROW(webtree::Fill(app, tree), host::Failure);
}
