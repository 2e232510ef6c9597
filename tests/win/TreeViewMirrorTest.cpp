// The mirror between the tree model and a real TreeView, driven from the model's side: what the core does
// to the tree (expanding a node deep in it) reaches the control, which holds only what can be seen.

#include "window/win32/TreeViewMirror.h"

#include "host/Failure.h"
#include "window/ImageKeys.h"

#include <gtest/gtest.h>
#include <optional>

namespace {

using window::win32::TreeViewMirror;

// The control's parent passes the tree's notifications on, as the publishing window does.
TreeViewMirror* notified = nullptr;

LRESULT CALLBACK parentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY && notified != nullptr) {
        if (const std::optional<LRESULT> answer = notified->onNotify(*reinterpret_cast<NMHDR*>(lParam)))
            return *answer;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class Mirror : public testing::Test {
  protected:
    host::TreeModel model{window::imageKeyList()};
    HWND parent = nullptr;
    HWND tree = nullptr;

    void SetUp() override {
        WNDCLASSW parentClass{};
        parentClass.lpfnWndProc = parentProc;
        parentClass.hInstance = GetModuleHandleW(nullptr);
        parentClass.lpszClassName = L"VarnookMirrorTestParent";
        RegisterClassW(&parentClass); // fails harmlessly when an earlier test registered it
        parent = CreateWindowExW(0, parentClass.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 300,
                                 nullptr, nullptr, parentClass.hInstance, nullptr);
        ASSERT_NE(parent, nullptr);
        tree = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS, 0, 0, 300, 300,
                               parent, nullptr, parentClass.hInstance, nullptr);
        ASSERT_NE(tree, nullptr);
    }
    void TearDown() override {
        notified = nullptr;
        DestroyWindow(parent);
    }

    bool expandedInControl(HTREEITEM item) const {
        return (TreeView_GetItemState(tree, item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    }
};

TEST_F(Mirror, ANodeTheCoreExpandsGoesInWithItsChildrenAndItsAncestorsChildren) {
    model.add(std::nullopt, "web", "web", "web", "web");
    model.add("web", "a", "a", "closed", "open");
    model.add("a", "a/b", "b", "closed", "open");
    model.add("a/b", "a/b/c", "c", "closed", "open");
    model.add("a/b/c", "a/b/c/page.htm", "page.htm", "page", "page");
    model.add("a/b", "a/b/d.htm", "d.htm", "page", "page");
    model.add("web", "index.htm", "index.htm", "home", "home");
    model.find("web")->setExpanded(true);
    TreeViewMirror mirror(tree, model, [](POINT) {});
    notified = &mirror;
    mirror.flush();
    EXPECT_EQ(TreeView_GetCount(tree), 3u) << "the web and its two children";

    host::Node& b = *model.find("a/b");
    b.setExpanded(true);
    // In go a's child b, to carry b's children c and d.htm; c's own stay out.
    EXPECT_EQ(TreeView_GetCount(tree), 6u);
    const HTREEITEM item = mirror.itemOf(b);
    EXPECT_TRUE(expandedInControl(item));
    EXPECT_FALSE(expandedInControl(mirror.itemOf(*model.find("a")))) << "the model left a folded";
    EXPECT_EQ(TreeView_GetChild(tree, item), mirror.itemOf(*model.find("a/b/c")));
    EXPECT_THROW(mirror.itemOf(*model.find("a/b/c/page.htm")), host::Failure);

    b.setExpanded(false);
    EXPECT_FALSE(expandedInControl(item));
    b.setExpanded(true);
    EXPECT_EQ(TreeView_GetCount(tree), 6u) << "expanded again: nothing twice";
}

} // namespace
