#pragma once

#include "host/TreeModel.h"

// clang-format off
#include <windows.h>
// clang-format on

#include <commctrl.h>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

namespace window::win32 {

// Keeps a real TreeView equal to the window's TreeModel: every node added, every image change, every
// expansion and the selection reach the control; the user's selection in the control reaches the model.
// Each item carries its node in lParam and asks for its text when drawn. It owns what the control tells
// its parent (the owner passes the tree's WM_NOTIFY on) and the keys that ask for its context menu.
//
// While the window loads (hidden, before it is first shown) the nodes the fill adds are gathered and go
// into the control in one batch when it is shown: the parents first, then the leaves, each put directly
// at its place. A control that checks every parent handle it is given by searching all its items (Wine's
// does) then searches only the few parents, and a web of many thousand files loads quickly.
class TreeViewMirror final : public host::TreeObserver {
  public:
    // Where the context menu is asked for: a point in the tree's client area, below the selected item.
    using ContextMenuHandler = std::function<void(POINT)>;

    // Takes the nodes the model already has and follows it until destroyed; gathers until flush().
    TreeViewMirror(HWND tree, host::TreeModel& model, ContextMenuHandler onContextMenu);
    ~TreeViewMirror();
    TreeViewMirror(const TreeViewMirror&) = delete;
    TreeViewMirror& operator=(const TreeViewMirror&) = delete;

    // Puts every gathered node into the control; from then on each change goes in as it happens.
    void flush();

    void nodeAdded(const host::Node& node) override;
    void nodeImagesChanged(const host::Node& node) override;
    void nodeExpandedChanged(const host::Node& node) override;
    void selectionChanged(const host::Node* node) override;
    void refreshed() override;
    void cleared() override;

    // A notification of the tree: what it answers, or nothing for one the mirror leaves to the owner.
    // A request for an item's text is filled in place.
    std::optional<LRESULT> onNotify(NMHDR& header);

    // The item at a point of the client area, or null.
    HTREEITEM itemAt(POINT point) const;
    // The item's text's rectangle in the client area; nothing while it is scrolled or folded away.
    std::optional<RECT> itemRect(HTREEITEM item) const;
    HTREEITEM itemOf(const host::Node& node) const;

  private:
    static LRESULT CALLBACK treeProc(HWND tree, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR self);
    // The mouse asks at the pointer (the item there is selected first, as the platform does), the
    // keyboard at the selected item.
    void contextMenu(std::optional<POINT> pointer);
    void controlSelectionChanged(const NMTREEVIEWW& change);
    void supplyText(NMTVDISPINFOW& request) const;
    HTREEITEM insert(const host::Node& node, HTREEITEM after);
    void applyExpanded(const host::Node& node);

    HWND tree_;
    host::TreeModel& model_;
    ContextMenuHandler onContextMenu_;
    std::unordered_map<const host::Node*, HTREEITEM> items_;
    bool gathering_ = true;
    std::vector<const host::Node*> gathered_; // in the order added
    // Set while the model's own change is passed to the control, so its echo is not fed back.
    bool applyingModel_ = false;
    // Set while the user's selection is passed to the model, whose notice of it needs no echo either.
    bool applyingControl_ = false;
};

} // namespace window::win32
