#pragma once

#include "host/TreeModel.h"

// clang-format off
#include <windows.h>
// clang-format on

#include <commctrl.h>
#include <functional>
#include <optional>
#include <unordered_map>

namespace window::win32 {

// Keeps a real TreeView equal to what can be seen of the window's TreeModel: the top-level nodes, their
// children, and the children of every node that has been expanded, in the control or in the model. A
// node's children go into the control when it is first expanded; until then every node with children
// shows its expand button. Image changes, expansions and the selection of the nodes the control holds
// reach it as they happen; a node not yet in the control goes in with the images it has then, so a
// marking that spreads through thousands of hidden nodes costs the control nothing. The user's
// selection in the control reaches the model. Each item carries its node in lParam and asks for its
// text when drawn. It owns what the control tells its parent (the owner passes the tree's WM_NOTIFY on)
// and the keys that ask for its context menu.
//
// While the window loads (hidden, before it is first shown) the fill's nodes stay in the model alone;
// what can be seen goes into the control when it is shown. A web of many thousand files then opens in
// the time its top level takes, and a control that checks every parent handle it is given by searching
// all its items (Wine's does) searches only the few it holds.
class TreeViewMirror final : public host::TreeObserver {
  public:
    // Where the context menu is asked for: a point in the tree's client area, below the selected item.
    using ContextMenuHandler = std::function<void(POINT)>;

    // Follows the model until destroyed; the control stays empty until flush().
    TreeViewMirror(HWND tree, host::TreeModel& model, ContextMenuHandler onContextMenu);
    ~TreeViewMirror();
    TreeViewMirror(const TreeViewMirror&) = delete;
    TreeViewMirror& operator=(const TreeViewMirror&) = delete;

    // Puts what can be seen into the control; from then on each change goes in as it happens.
    void flush();

    void nodeAdded(const host::Node& node) override;
    void nodeImagesChanged(const host::Node& node) override;
    void nodeExpandedChanged(const host::Node& node) override;
    void selectionChanged(const host::Node* node) override;
    void refreshed() override;
    void cleared() override;

    // A notification of the tree: what it answers, or nothing for one the mirror leaves to the owner.
    // A request for an item's text or images is filled in place.
    std::optional<LRESULT> onNotify(NMHDR& header);

    // The item at a point of the client area, or null.
    HTREEITEM itemAt(POINT point) const;
    // The item's text's rectangle in the client area; nothing while it is scrolled or folded away.
    std::optional<RECT> itemRect(HTREEITEM item) const;
    HTREEITEM itemOf(const host::Node& node) const;

  private:
    struct Entry {
        HTREEITEM item;
        bool childrenIn; // every child of the node is in the control too
    };
    static LRESULT CALLBACK treeProc(HWND tree, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR self);
    // A request of the mirror's own to the control.
    LRESULT send(UINT message, WPARAM wParam, LPARAM lParam) const;
    void painted();
    // The mouse asks at the pointer (the item there is selected first, as the platform does), the
    // keyboard at the selected item.
    void contextMenu(std::optional<POINT> pointer);
    void controlSelectionChanged(const NMTREEVIEWW& change);
    // The text or the images the control asks for.
    void supplyItem(NMTVDISPINFOW& request) const;
    HTREEITEM insert(const host::Node& node);
    // Puts the node's children into the control, and so on below each of them the model has expanded.
    void insertChildren(const host::Node& node);
    // Puts the node into the control, with the children of each of its ancestors that lack theirs.
    void reveal(const host::Node& node);
    void setHasChildren(HTREEITEM item);
    void applyExpanded(const host::Node& node);

    HWND tree_;
    WNDPROC controlProc_ = nullptr;
    DPI_AWARENESS_CONTEXT controlAwareness_ = nullptr;
    host::TreeModel& model_;
    ContextMenuHandler onContextMenu_;
    std::unordered_map<const host::Node*, Entry> items_;
    bool gathering_ = true;
    // The images of an item in the control changed since the last refresh.
    bool imagesChanged_ = false;
    // The control is to draw everything it shows at its next paint.
    bool invalidated_ = false;
    ULONGLONG lastDrawn_ = 0;
    static constexpr ULONGLONG RedrawIntervalMs = 100;
    // Set while the model's own change is passed to the control, so its echo is not fed back.
    bool applyingModel_ = false;
    // Set while the user's selection is passed to the model, whose notice of it needs no echo either.
    bool applyingControl_ = false;
};

} // namespace window::win32
