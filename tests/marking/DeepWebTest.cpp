// Marking on a web far deeper than any real one, on a stack the size of the editor's GUI thread's: the
// walks through the tree must not take stack for each level. Built into the Windows tests too.
#include "marking/MarkingFixture.h"
#include "support/SmallStack.h"

#include <string>

namespace {

constexpr int Depth = 10'000;

// A chain of Depth folders "d/d/.../d" with one page at its bottom, the window loaded on it.
struct DeepWebTest : testsupport::MarkingFixture {
    std::string bottom, page;

    void SetUp() override {
        web.setRecording(false); // the log would hold every call's 20 KB location
        std::string path = "d";
        web.addFolder(path);
        for (int level = 1; level < Depth; ++level) {
            path += "/d";
            web.addFolder(path);
        }
        bottom = path;
        page = path + "/p.htm";
        web.addFile(page);
        load();
    }

    int markedItems() {
        int marked = 0;
        host::memory::MemoryItem* item = &web.root();
        while (!item->folders.empty()) {
            item = item->folders.front().get();
            marked += item->marked();
        }
        return marked + item->files.front()->marked();
    }
};

} // namespace

TEST_F(DeepWebTest, TenThousandLevelsAreMarkedDownAndPublishedUpOnAGuiThreadsStack) {
    testsupport::runOnGuiSizedStack([&] { toggle("d"); });
    EXPECT_EQ(markedItems(), Depth + 1);
    EXPECT_EQ(keys(page), "page_n/page_n");

    // Publishing the deepest folder again publishes every folder above it.
    testsupport::runOnGuiSizedStack([&] { toggle(bottom); });
    EXPECT_EQ(markedItems(), 0);
    EXPECT_EQ(keys("d"), "closed/open");
}
