#pragma once

#include "host/TreeModel.h"

// clang-format off
#include <windows.h>
// clang-format on

#include <commctrl.h>
#include <unordered_map>

namespace window::win32 {

// Keeps a real TreeView equal to the window's TreeModel: every node added, every image change, every
// expansion and the selection reach the control as they happen; the user's selection in the control
// reaches the model. Each item carries its node in lParam.
class TreeViewMirror final : public host::TreeObserver {
  public:
    // Inserts the nodes the model already has, then follows it until destroyed.
    TreeViewMirror(HWND tree, host::TreeModel& model);
    ~TreeViewMirror();
    TreeViewMirror(const TreeViewMirror&) = delete;
    TreeViewMirror& operator=(const TreeViewMirror&) = delete;

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
    HWND tree_;
    host::TreeModel& model_;
    std::unordered_map<const host::Node*, HTREEITEM> items_;
    // Set while the model's own change is passed to the control, so its echo is not fed back.
    bool applyingModel_ = false;
    // Set while the user's selection is passed to the model, whose notice of it needs no echo either.
    bool applyingControl_ = false;
};

} // namespace window::win32
