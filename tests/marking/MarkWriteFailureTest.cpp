// A mark that cannot be written does not stop a marking command, and is never passed off as written:
// the command runs every step, then fails with one error that counts and names what failed.
#include "host/Failure.h"
#include "marking/MarkingFixture.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

struct MarkWriteFailureTest : testsupport::MarkingFixture {
    // f holds four pages; the writes of f/2.htm and f/4.htm are refused.
    void SetUp() override {
        web.addFolder("f");
        for (const char* name : {"f/1.htm", "f/2.htm", "f/3.htm", "f/4.htm"})
            web.addFile(name);
        web.addFile("top.htm");
    }
    void refuse(const char* operation, const std::string& path) {
        web.failOperation(operation, web.url() + "/" + path);
    }
    std::string failureOf(const std::function<void()>& command) {
        try {
            command();
        } catch (const host::Failure& f) {
            return f.what();
        }
        return "(no failure)";
    }
};

} // namespace

TEST_F(MarkWriteFailureTest, AFolderIsMarkedThroughAndTheRefusedItemsAreReportedAtTheEnd) {
    load();
    refuse("Properties.set", "f/2.htm");
    refuse("Properties.apply", "f/4.htm");
    const std::string what = failureOf([&] { toggle("f"); });
    EXPECT_THAT(what, StartsWith("could not write the mark of 2 of 5 items: http://srv/web/f/2.htm: injected "
                                 "failure of Properties.set http://srv/web/f/2.htm"));
    EXPECT_THAT(what, HasSubstr("; http://srv/web/f/4.htm: injected failure of Properties.apply"));
    // Every step ran, in order, and the folder itself was written after its contents.
    EXPECT_TRUE(web.at("f/1.htm").marked());
    EXPECT_FALSE(web.at("f/2.htm").marked());
    EXPECT_TRUE(web.at("f/3.htm").marked());
    EXPECT_FALSE(web.at("f/4.htm").marked());
    EXPECT_TRUE(web.at("f").marked());
    EXPECT_EQ(keys("f/2.htm"), "page_n/page_n") << "the tree keeps what the user chose";
    EXPECT_EQ(keys("f"), "closed_n/open_n");
    EXPECT_EQ(web.liveObjects(), 0u);
}

TEST_F(MarkWriteFailureTest, PublishingSkipsAbsentMarksSilentlyButReportsARefusedRemoval) {
    load();
    toggle("f");
    ASSERT_TRUE(web.at("f/3.htm").marked());
    // f/1.htm's mark was removed by someone else meanwhile: nothing to remove, nothing to report.
    web.at("f/1.htm").properties.clear();
    EXPECT_NO_THROW(toggle("f")) << "absent marks are the expected case";
    EXPECT_FALSE(web.at("f/3.htm").marked());

    toggle("f");
    refuse("Properties.remove", "f/3.htm");
    EXPECT_THAT(failureOf([&] { toggle("f"); }), StartsWith("could not write the mark of 1 of 5 items: "
                                                            "http://srv/web/f/3.htm: injected failure"));
    EXPECT_TRUE(web.at("f/3.htm").marked());
    EXPECT_FALSE(web.at("f/2.htm").marked()) << "the items after it were still written";
    EXPECT_FALSE(web.at("f").marked());
}

TEST_F(MarkWriteFailureTest, AnItemTheWebNoLongerHasIsNoFailure) {
    load();
    web.at("f/2.htm").hiddenFromLocate = true;
    EXPECT_NO_THROW(toggle("f"));
    EXPECT_NO_THROW(toggle("f/2.htm"));
    EXPECT_TRUE(web.at("f/3.htm").marked());
}

TEST_F(MarkWriteFailureTest, AFileChoiceFailsAfterItsImagesAndCheckMarkChanged) {
    load();
    refuse("Properties.apply", "top.htm");
    EXPECT_THAT(failureOf([&] { toggle("top.htm"); }),
                StartsWith("could not write the mark of 1 of 1 item: http://srv/web/top.htm: "));
    EXPECT_EQ(keys("top.htm"), "page_n/page_n");
    EXPECT_TRUE(form.mnuNoPublishChecked());
    EXPECT_FALSE(web.at("top.htm").marked());
    // The choice itself fails the same way when the window calls it without the right-click.
    tree().select(&node("top.htm"));
    EXPECT_THROW(form.mnuNoPublish_Click(), host::Failure);
    // The next fill shows what the web holds, not what the tree was told.
    form.cmdClose_Click();
    web.clearFaults();
    form.setVisible(true);
    EXPECT_EQ(keys("top.htm"), "page/page");
}

TEST_F(MarkWriteFailureTest, ManyChoicesInOneCommandFailOnceAndNameOnlyTheFirstFew) {
    for (int i = 0; i < 6; ++i)
        web.addFile("g" + std::to_string(i) + ".htm");
    load();
    for (int i = 0; i < 6; ++i)
        refuse("Properties.set", "g" + std::to_string(i) + ".htm");
    const std::string what = failureOf([&] {
        form.RunAsOneCommand([&] {
            for (int i = 0; i < 6; ++i)
                toggle("g" + std::to_string(i) + ".htm");
            toggle("f/1.htm");
            toggle("f/1.htm"); // published again: its removal of an absent mark is silent
        });
    });
    EXPECT_THAT(what, StartsWith("could not write the mark of 6 of 7 items: http://srv/web/g0.htm: "));
    EXPECT_THAT(what, HasSubstr("; http://srv/web/g2.htm: "));
    EXPECT_THAT(what, Not(HasSubstr("g3.htm")));
    EXPECT_THAT(what, HasSubstr("; and 3 more"));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(keys("g" + std::to_string(i) + ".htm"), "page_n/page_n") << "every choice ran";
}

TEST_F(MarkWriteFailureTest, AFailureThatStopsTheCommandAlsoCountsTheWritesBeforeIt) {
    load();
    refuse("Properties.set", "f/1.htm");
    web.failOperation("Web.locate", "http://srv/web/f/3.htm");
    try {
        toggle("f");
        FAIL() << "the locate failure ends the command";
    } catch (const host::Failure& f) {
        EXPECT_EQ(f.status(), host::status::Injected);
        EXPECT_THAT(f.what(), StartsWith("injected failure of Web.locate http://srv/web/f/3.htm"));
        EXPECT_THAT(f.what(), HasSubstr("; before that, could not write the mark of 1 of 2 items: "
                                        "http://srv/web/f/1.htm: "));
    }
    EXPECT_TRUE(web.at("f/2.htm").marked());
    EXPECT_FALSE(web.at("f/4.htm").marked()) << "nothing runs after the stop";
    EXPECT_FALSE(web.at("f").marked());
}
