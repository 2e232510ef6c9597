#include "window/win32/TreeViewMirror.h"

#include "host/Failure.h"
#include "host/Ownership.h"
#include "host/automation/Com.h"
#include "window/win32/Images.h"

#include <algorithm>
#include <utility>
#include <windowsx.h>

namespace window::win32 {
namespace {

int imageOf(const std::string& key) {
    const int index = imageIndex(key);
    if (index < 0)
        throw host::Failure(host::status::InvalidArg, "the image list has no image '" + key + "'");
    return index;
}

// Shift+F10 and the Menu key. Taken before the control and the platform see them, so they work the same
// whatever the platform's default handling makes of them in a child window.
bool opensContextMenu(UINT message, WPARAM key) {
    const bool keyMessage =
        message == WM_KEYDOWN || message == WM_SYSKEYDOWN || message == WM_KEYUP || message == WM_SYSKEYUP;
    return keyMessage && (key == VK_APPS || (key == VK_F10 && GetKeyState(VK_SHIFT) < 0));
}

constexpr UINT_PTR SubclassId = 1;

} // namespace

TreeViewMirror::TreeViewMirror(HWND tree, host::TreeModel& model, ContextMenuHandler onContextMenu)
    : tree_(tree), model_(model), onContextMenu_(std::move(onContextMenu)) {
    model_.forEachInTreeOrder([this](const host::Node& node, std::size_t) { gathered_.push_back(&node); });
    if (!SetWindowSubclass(tree_, treeProc, SubclassId, reinterpret_cast<DWORD_PTR>(this)))
        throw host::Failure("cannot follow the keys of the tree control");
    model_.setObserver(this);
}

TreeViewMirror::~TreeViewMirror() {
    model_.setObserver(nullptr);
    RemoveWindowSubclass(tree_, treeProc, SubclassId);
}

HTREEITEM TreeViewMirror::insert(const host::Node& node, HTREEITEM after) {
    TVINSERTSTRUCTW request{};
    request.hParent = node.parent() != nullptr ? itemOf(*node.parent()) : TVI_ROOT;
    request.hInsertAfter = after;
    request.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    // The control asks for a text when it draws the item: a web of many thousand items loads without
    // converting and copying every name up front.
    request.item.pszText = LPSTR_TEXTCALLBACKW;
    request.item.iImage = imageOf(node.image());
    request.item.iSelectedImage = imageOf(node.selectedImage());
    request.item.lParam = reinterpret_cast<LPARAM>(&node);
    const auto item = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&request)));
    if (item == nullptr)
        throw host::Failure("the tree control refused the node '" + std::string(node.key()) + "'");
    items_.emplace(&node, item);
    return item;
}

void TreeViewMirror::flush() {
    if (!gathering_)
        return;
    gathering_ = false;
    const std::vector<const host::Node*> nodes = std::move(gathered_);
    gathered_.clear();

    // The parents, in the order added: each goes last among the parents under its own parent.
    for (const host::Node* node : nodes) {
        if (node->childCount() > 0)
            insert(*node, TVI_LAST);
    }
    // The leaves, each right after the nearest parent before it among its siblings (or first): taken
    // from the last sibling to the first, so that leaves sharing a place end up in their order.
    auto placeLeaves = [this](const auto& siblings) {
        std::vector<std::pair<const host::Node*, HTREEITEM>> leaves;
        HTREEITEM lastParent = TVI_FIRST;
        for (const host::Node* sibling : siblings) {
            if (sibling->childCount() > 0)
                lastParent = itemOf(*sibling);
            else
                leaves.emplace_back(sibling, lastParent);
        }
        for (auto it = leaves.rbegin(); it != leaves.rend(); ++it)
            insert(*it->first, it->second);
    };
    placeLeaves(model_.roots());
    for (const host::Node* node : nodes) {
        if (node->childCount() > 0)
            placeLeaves(node->children());
    }
    for (const host::Node* node : nodes) {
        if (node->expanded())
            applyExpanded(*node);
    }
    if (const host::Node* selected = model_.selected())
        selectionChanged(selected);
}

void TreeViewMirror::nodeAdded(const host::Node& node) {
    if (gathering_) {
        gathered_.push_back(&node);
        return;
    }
    insert(node, TVI_LAST);
    // A folder that was expanded before it had children shows them as they come.
    if (node.parent() != nullptr && node.parent()->expanded() && node.parent()->childCount() == 1)
        applyExpanded(*node.parent());
}

void TreeViewMirror::nodeImagesChanged(const host::Node& node) {
    // A gathered node goes in with the images it has then.
    if (gathering_)
        return;
    TVITEMW item{};
    item.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    item.hItem = itemOf(node);
    item.iImage = imageOf(node.image());
    item.iSelectedImage = imageOf(node.selectedImage());
    if (SendMessageW(tree_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)) == 0)
        throw host::Failure("the tree control refused the images of '" + std::string(node.key()) + "'");
}

void TreeViewMirror::nodeExpandedChanged(const host::Node& node) {
    if (!gathering_)
        applyExpanded(node);
}

void TreeViewMirror::applyExpanded(const host::Node& node) {
    // Expanding an item without children does nothing; nodeAdded expands it with its first child.
    SendMessageW(tree_, TVM_EXPAND, node.expanded() ? TVE_EXPAND : TVE_COLLAPSE,
                 reinterpret_cast<LPARAM>(itemOf(node)));
}

void TreeViewMirror::selectionChanged(const host::Node* node) {
    if (applyingControl_)
        return;
    flush();
    const HTREEITEM item = node != nullptr ? itemOf(*node) : nullptr;
    applyingModel_ = true;
    SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    applyingModel_ = false;
}

void TreeViewMirror::refreshed() {
    flush();
    // Changed items were invalidated as they changed: draw them now.
    UpdateWindow(tree_);
}

void TreeViewMirror::cleared() {
    gathered_.clear();
    items_.clear();
    SendMessageW(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
}

std::optional<LRESULT> TreeViewMirror::onNotify(NMHDR& header) {
    switch (header.code) {
    case TVN_GETDISPINFOW:
        supplyText(reinterpret_cast<NMTVDISPINFOW&>(header));
        return 0;
    case TVN_SELCHANGEDW:
        controlSelectionChanged(reinterpret_cast<const NMTREEVIEWW&>(header));
        return 0;
    case NM_RCLICK: {
        const DWORD at = GetMessagePos();
        POINT pointer{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
        ScreenToClient(tree_, &pointer);
        contextMenu(pointer);
        // Handled: the control sends no WM_CONTEXTMENU after it.
        return TRUE;
    }
    default:
        return std::nullopt;
    }
}

LRESULT CALLBACK TreeViewMirror::treeProc(HWND tree, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR self) {
    auto* mirror = reinterpret_cast<TreeViewMirror*>(self);
    if (opensContextMenu(message, wParam)) {
        // Opened on the key going down; its release is eaten too, so nothing opens it a second time.
        if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN)
            mirror->contextMenu(std::nullopt);
        return 0;
    }
    if (message == WM_CONTEXTMENU) {
        mirror->contextMenu(std::nullopt);
        return 0;
    }
    return DefSubclassProc(tree, message, wParam, lParam);
}

void TreeViewMirror::contextMenu(std::optional<POINT> pointer) {
    POINT at{0, 0};
    if (pointer) {
        at = *pointer;
        if (const HTREEITEM item = itemAt(at))
            TreeView_SelectItem(tree_, item);
    } else if (const HTREEITEM selected = TreeView_GetSelection(tree_)) {
        if (const std::optional<RECT> rect = itemRect(selected))
            at = {rect->left, rect->bottom};
    }
    // The menu's command may close the window and this mirror with it: the handler outlives the call.
    const ContextMenuHandler handler = onContextMenu_;
    handler(at);
}

void TreeViewMirror::controlSelectionChanged(const NMTREEVIEWW& change) {
    if (applyingModel_)
        return;
    applyingControl_ = true;
    const auto applied = host::scopeExit([this] { applyingControl_ = false; });
    model_.select(reinterpret_cast<host::Node*>(change.itemNew.lParam));
}

void TreeViewMirror::supplyText(NMTVDISPINFOW& request) const {
    if ((request.item.mask & TVIF_TEXT) == 0 || request.item.pszText == nullptr ||
        request.item.cchTextMax <= 0)
        return;
    const auto* node = reinterpret_cast<const host::Node*>(request.item.lParam);
    const std::wstring text = node != nullptr ? host::automation::wide(node->text()) : std::wstring();
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(request.item.cchTextMax - 1));
    std::copy_n(text.data(), n, request.item.pszText);
    request.item.pszText[n] = L'\0';
}

HTREEITEM TreeViewMirror::itemAt(POINT point) const {
    TVHITTESTINFO hit{};
    hit.pt = point;
    const HTREEITEM item = TreeView_HitTest(tree_, &hit);
    return (hit.flags & TVHT_ONITEM) != 0 ? item : nullptr;
}

std::optional<RECT> TreeViewMirror::itemRect(HTREEITEM item) const {
    RECT rect{};
    if (!TreeView_GetItemRect(tree_, item, &rect, TRUE))
        return std::nullopt;
    return rect;
}

HTREEITEM TreeViewMirror::itemOf(const host::Node& node) const {
    const auto it = items_.find(&node);
    if (it == items_.end())
        throw host::Failure("the tree control has no item for the node '" + std::string(node.key()) + "'");
    return it->second;
}

} // namespace window::win32
