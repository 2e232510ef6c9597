#pragma once

#include "host/TreeModel.h"

// clang-format off
#include <windows.h>
// clang-format on

#include <commctrl.h>
#include <unordered_map>
#include <vector>

namespace window::win32 {

// Keeps a real TreeView equal to the window's TreeModel: every node added, every image change, every
// expansion and the selection reach the control; the user's selection in the control reaches the model.
// Each item carries its node in lParam and asks for its text when drawn.
//
// While the window loads (hidden, before it is first shown) the nodes the fill adds are gathered and go
// into the control in one batch when it is shown: the parents first, then the leaves, each put directly
// at its place. A control that checks every parent handle it is given by searching all its items (Wine's
// does) then searches only the few parents, and a web of many thousand files loads quickly.
class TreeViewMirror final : public host::TreeObserver {
  public:
    // Takes the nodes the model already has and follows it until destroyed; gathers until flush().
    TreeViewMirror(HWND tree, host::TreeModel& model);
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

    // The control's selection changed (TVN_SELCHANGED).
    void controlSelectionChanged(const NMTREEVIEWW& change);
    // The control asks for an item's text (TVN_GETDISPINFO).
    void supplyText(NMTVDISPINFOW& request) const;
    // Selects the item as the user's click would.
    void selectItem(HTREEITEM item);
    HTREEITEM itemOf(const host::Node& node) const;

  private:
    HTREEITEM insert(const host::Node& node, HTREEITEM after);
    void applyExpanded(const host::Node& node);

    HWND tree_;
    host::TreeModel& model_;
    std::unordered_map<const host::Node*, HTREEITEM> items_;
    bool gathering_ = true;
    std::vector<const host::Node*> gathered_; // in the order added
    // Set while the model's own change is passed to the control, so its echo is not fed back.
    bool applyingModel_ = false;
    // Set while the user's selection is passed to the model, whose notice of it needs no echo either.
    bool applyingControl_ = false;
};

} // namespace window::win32
