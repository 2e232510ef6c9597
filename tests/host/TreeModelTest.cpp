#include "host/TreeModel.h"

#include "host/Failure.h"
#include "window/ImageKeys.h"

#include <gtest/gtest.h>

using host::Node;
using host::TreeModel;

namespace {

struct TreeModelTest : ::testing::Test {
    TreeModel tree{window::imageKeyList()};
    Node& root = tree.add(std::nullopt, "ROOT", "http://srv/web", "web", "web");
};

} // namespace

TEST_F(TreeModelTest, ChildrenKeepTheOrderTheyWereAddedIn) {
    Node& b = tree.add("ROOT", "k-b", "b", "page", "page");
    Node& a = tree.add("ROOT", "k-a", "a", "page", "page");
    Node& c = tree.add("ROOT", "k-c", "c", "gif", "gif");
    EXPECT_EQ(root.childCount(), 3u);
    EXPECT_EQ(root.firstChild(), &b);
    EXPECT_EQ(b.nextSibling(), &a);
    EXPECT_EQ(a.nextSibling(), &c);
    EXPECT_EQ(c.nextSibling(), nullptr);
    EXPECT_EQ(b.lastSibling(), &c);
    EXPECT_EQ(c.lastSibling(), &c);
    EXPECT_EQ(a.parent(), &root);
    EXPECT_EQ(root.parent(), nullptr);
    EXPECT_EQ(&tree.nodeByIndex(1), &root);
    EXPECT_EQ(&tree.nodeByIndex(3), &a);
    EXPECT_THROW(tree.nodeByIndex(0), host::Failure);
    EXPECT_THROW(tree.nodeByIndex(5), host::Failure);
}

TEST_F(TreeModelTest, FullPathJoinsTextsFromTheRootWithBackslash) {
    tree.add("ROOT", "f1", "images", "closed", "open");
    tree.add("f1", "f2", "icons", "closed", "open");
    Node& file = tree.add("f2", "file", "a/b.gif", "gif", "gif");
    EXPECT_EQ(file.fullPath(), "http://srv/web\\images\\icons\\a/b.gif");
    EXPECT_EQ(root.fullPath(), "http://srv/web");
}

// Paths asked for one after another share what they have in common; each must still be its own.
TEST_F(TreeModelTest, FullPathsAskedInAnyOrderAreEachRight) {
    tree.add("ROOT", "a", "a", "closed", "open");
    tree.add("a", "a/b", "b", "closed", "open");
    tree.add("a/b", "a/b/c", "c", "closed", "open");
    tree.add("ROOT", "x", "x", "closed", "open");
    tree.add("x", "x/y", "yy", "closed", "open");
    const std::vector<std::pair<const char*, const char*>> asked = {
        {"a/b/c", "http://srv/web\\a\\b\\c"}, {"a/b", "http://srv/web\\a\\b"},
        {"x/y", "http://srv/web\\x\\yy"},     {"a/b/c", "http://srv/web\\a\\b\\c"},
        {"ROOT", "http://srv/web"},           {"a", "http://srv/web\\a"},
        {"x", "http://srv/web\\x"},           {"a/b/c", "http://srv/web\\a\\b\\c"}};
    for (const auto& [key, path] : asked)
        EXPECT_EQ(tree.find(key)->fullPath(), path) << key;

    // A new tree after a clear may put its nodes where the old ones were.
    tree.clear();
    tree.add(std::nullopt, "ROOT", "other", "web", "web");
    tree.add("ROOT", "a", "A", "closed", "open");
    tree.add("a", "a/b", "B", "closed", "open");
    EXPECT_EQ(tree.find("a/b")->fullPath(), "other\\A\\B");
    EXPECT_EQ(tree.find("ROOT")->fullPath(), "other");
}

TEST_F(TreeModelTest, RefusesDuplicateKeysUnknownParentsAndUnknownImages) {
    EXPECT_THROW(tree.add(std::nullopt, "ROOT", "again", "web", "web"), host::Failure);
    EXPECT_THROW(tree.add("nope", "k", "t", "page", "page"), host::Failure);
    EXPECT_THROW(tree.add("ROOT", "k", "t", "web_n", "web"), host::Failure);
    EXPECT_THROW(tree.add("ROOT", "k", "t", "page", "Page"), host::Failure);
    EXPECT_EQ(tree.count(), 1u);

    Node& n = tree.add("ROOT", "k", "t", "page", "page");
    EXPECT_THROW(n.setImage("page_N"), host::Failure);
    EXPECT_THROW(n.setSelectedImage(""), host::Failure);
    EXPECT_EQ(n.image(), "page");
    n.setImage("page_n");
    EXPECT_EQ(n.image(), "page_n");
}

TEST_F(TreeModelTest, RefreshNotifiesViewsAndInjectedFailuresThrow) {
    int notified = 0;
    tree.setListener([&] { ++notified; });
    tree.refresh();
    EXPECT_EQ(tree.refreshCount(), 1u);
    EXPECT_GE(notified, 1);

    tree.failOperation("refresh");
    EXPECT_THROW(tree.refresh(), host::Failure);
    tree.failOperation("setImage");
    EXPECT_THROW(root.setImage("web"), host::Failure);
}

TEST_F(TreeModelTest, ClearDestroysEveryNodeAndTheSelection) {
    Node& child = tree.add("ROOT", "k", "t", "page", "page");
    tree.select(&child);
    tree.clear();
    EXPECT_EQ(tree.count(), 0u);
    EXPECT_EQ(tree.selected(), nullptr);
    EXPECT_EQ(tree.find("ROOT"), nullptr);
    tree.add(std::nullopt, "ROOT", "fresh", "web", "web");
    EXPECT_EQ(tree.nodeByIndex(1).text(), "fresh");
}

TEST(ImageKeys, EveryMarkedKeyHasItsPartnerAndWebHasNone) {
    const auto keys = window::imageKeyList();
    ASSERT_EQ(keys.size(), 27u);
    int marked = 0;
    for (const auto& k : keys) {
        if (k.size() > 2 && k.substr(k.size() - 2) == "_n") {
            ++marked;
            EXPECT_NE(std::find(keys.begin(), keys.end(), k.substr(0, k.size() - 2)), keys.end()) << k;
        }
    }
    EXPECT_EQ(marked, 13);
    EXPECT_EQ(std::find(keys.begin(), keys.end(), "web_n"), keys.end());
}

// A mirroring view hears of each change once, in the order the model made them.
TEST_F(TreeModelTest, TheObserverHearsEveryChangeInOrder) {
    struct Recorder final : host::TreeObserver {
        std::vector<std::string> events;
        void nodeAdded(const Node& n) override { events.push_back("add " + std::string(n.key())); }
        void nodeImagesChanged(const Node& n) override {
            events.push_back("images " + std::string(n.key()) + " " + n.image() + "/" + n.selectedImage());
        }
        void nodeExpandedChanged(const Node& n) override {
            events.push_back("expanded " + std::string(n.key()) + (n.expanded() ? " on" : " off"));
        }
        void selectionChanged(const Node* n) override {
            events.push_back("select " + (n ? std::string(n->key()) : "-"));
        }
        void refreshed() override { events.push_back("refresh"); }
        void cleared() override { events.push_back("clear"); }
    } recorder;
    tree.setObserver(&recorder);

    Node& child = tree.add("ROOT", "k", "t", "page", "page");
    child.setImage("page_n");
    child.setSelectedImage("page_n");
    root.setExpanded(true);
    tree.select(&child);
    tree.select(&child); // the same node again: nothing new for the view
    tree.refresh();
    tree.clear();
    tree.setObserver(nullptr);
    tree.add(std::nullopt, "ROOT", "fresh", "web", "web");

    EXPECT_EQ(recorder.events,
              (std::vector<std::string>{"add k", "images k page_n/page", "images k page_n/page_n",
                                        "expanded ROOT on", "select k", "refresh", "clear"}));
}

// Nodes, keys and texts live in blocks of the model's own: a large tree spans many of them, and nothing
// handed out before may move or change while more is added, whatever the sizes of the texts.
TEST_F(TreeModelTest, ALargeTreeKeepsEveryNodeKeyAndTextInPlace) {
    const std::string huge(100'000, 'x'); // longer than any block, on leaves only
    Node& first = tree.add("ROOT", "http://srv/web/a.htm", "a.htm", "page", "page");
    const std::string_view firstKey = first.key();
    const std::string_view firstText = first.text();
    std::vector<Node*> added;
    for (int i = 0; i < 3000; ++i) {
        const std::string key = "http://srv/web/f" + std::to_string(i) + (i % 500 == 407 ? huge : "");
        // Every third text is not the end of its key, so it needs a copy of its own.
        const std::string text = i % 3 == 0 ? "other " + std::to_string(i) : key.substr(15);
        added.push_back(&tree.add(i < 10 ? "ROOT" : "http://srv/web/f" + std::to_string(i / 10), key, text,
                                  i % 2 ? "closed" : "closed_n", "open"));
    }
    EXPECT_EQ(tree.count(), 3002u);
    EXPECT_EQ(&tree.nodeByIndex(2), &first);
    EXPECT_EQ(first.key().data(), firstKey.data());
    EXPECT_EQ(firstText, "a.htm");
    EXPECT_EQ(first.text().data(), firstText.data());
    for (int i = 0; i < 3000; ++i) {
        const std::string key = "http://srv/web/f" + std::to_string(i) + (i % 500 == 407 ? huge : "");
        Node* node = added[static_cast<std::size_t>(i)];
        ASSERT_EQ(tree.find(key), node) << i;
        ASSERT_EQ(&tree.nodeByIndex(static_cast<std::size_t>(i) + 3), node);
        ASSERT_EQ(node->key(), key);
        ASSERT_EQ(node->text(), i % 3 == 0 ? "other " + std::to_string(i) : key.substr(15));
        ASSERT_EQ(node->image(), i % 2 ? "closed" : "closed_n");
    }
    // The children of one node in order, however far apart they were added.
    std::vector<std::string> children;
    for (const Node* child : tree.find("http://srv/web/f1")->children())
        children.emplace_back(child->text());
    EXPECT_EQ(children.size(), 10u);
    EXPECT_EQ(children.front(), "f10");
    EXPECT_EQ(children.back(), "f19");
    EXPECT_EQ(tree.find("http://srv/web/f1")->lastSibling(), tree.find("http://srv/web/f9"));
    EXPECT_EQ(tree.find("http://srv/web/f"), nullptr);
    EXPECT_EQ(tree.find(""), nullptr);
}
