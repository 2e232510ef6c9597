#include "window/win32/TreeViewMirror.h"

#include "host/Failure.h"
#include "host/Ownership.h"
#include "host/automation/Com.h"
#include "window/win32/DpiAwareness.h"
#include "window/win32/Images.h"

#include <algorithm>
#include <utility>
#include <vector>
#include <windowsx.h>

namespace window::win32 {
namespace {

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
    // Taken before the subclass goes in: the mirror's own requests skip the subclass chain (see send).
    controlProc_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(tree_, GWLP_WNDPROC));
    controlAwareness_ = ThreadDpiAwareness::ofWindow(tree_);
    if (controlProc_ == nullptr)
        throw host::Failure("cannot follow the keys of the tree control");
    if (!SetWindowSubclass(tree_, treeProc, SubclassId, reinterpret_cast<DWORD_PTR>(this)))
        throw host::Failure("cannot follow the keys of the tree control");
    model_.setObserver(this);
}

TreeViewMirror::~TreeViewMirror() {
    model_.setObserver(nullptr);
    RemoveWindowSubclass(tree_, treeProc, SubclassId);
}

LRESULT TreeViewMirror::send(UINT message, WPARAM wParam, LPARAM lParam) const {
    // Straight to the procedure the control had before it was subclassed, which the subclass passes every
    // request to unchanged. Under Wine the subclass chain is looked up in a window property, a round trip
    // to its server, on every message through it: a folder of 5,000 files took 0.8 to 0.9 s to expand
    // with the mirror's insertions sent through it.
    // Called so, the procedure runs in this thread's awareness, not the control's as a message would.
    const ThreadDpiAwareness awareness(controlAwareness_);
    return CallWindowProcW(controlProc_, tree_, message, wParam, lParam);
}

HTREEITEM TreeViewMirror::insert(const host::Node& node) {
    TVINSERTSTRUCTW request{};
    request.hParent = node.parent() != nullptr ? itemOf(*node.parent()) : TVI_ROOT;
    request.hInsertAfter = TVI_LAST;
    request.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
    // The control asks for a text and the images when it draws the item: a web of many thousand items
    // loads without converting and copying every name up front, and a marking that changes the images of
    // thousands of items sends the control nothing but a request to draw what it shows.
    request.item.pszText = LPSTR_TEXTCALLBACKW;
    request.item.iImage = I_IMAGECALLBACK;
    request.item.iSelectedImage = I_IMAGECALLBACK;
    request.item.lParam = reinterpret_cast<LPARAM>(&node);
    // The expand button of a folder whose children are not in the control yet.
    request.item.cChildren = node.childCount() > 0 ? 1 : 0;
    const auto item =
        reinterpret_cast<HTREEITEM>(send(TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&request)));
    if (item == nullptr)
        throw host::Failure("the tree control refused the node '" + std::string(node.key()) + "'");
    items_.emplace(&node, Entry{item, node.childCount() == 0});
    return item;
}

void TreeViewMirror::insertChildren(const host::Node& node) {
    // A list of our own rather than recursion: a web may be nested thousands of folders deep.
    std::vector<const host::Node*> pending{&node};
    std::vector<const host::Node*> expanded;
    while (!pending.empty()) {
        const host::Node* parent = pending.back();
        pending.pop_back();
        Entry& entry = items_.at(parent);
        if (entry.childrenIn)
            continue;
        // Marked first: a child that fails to go in must not bring its siblings in twice later.
        entry.childrenIn = true;
        for (const host::Node* child : parent->children()) {
            insert(*child);
            if (child->expanded() && child->childCount() > 0) {
                pending.push_back(child);
                expanded.push_back(child);
            }
        }
    }
    for (const host::Node* n : expanded)
        applyExpanded(*n);
}

void TreeViewMirror::reveal(const host::Node& node) {
    std::vector<const host::Node*> missing;
    for (const host::Node* n = &node; n != nullptr && !items_.contains(n); n = n->parent())
        missing.push_back(n);
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if ((*it)->parent() == nullptr)
            insert(**it);
        else
            insertChildren(*(*it)->parent());
    }
}

void TreeViewMirror::setHasChildren(HTREEITEM handle) {
    TVITEMW item{};
    item.mask = TVIF_HANDLE | TVIF_CHILDREN;
    item.hItem = handle;
    item.cChildren = 1;
    send(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void TreeViewMirror::flush() {
    if (!gathering_)
        return;
    gathering_ = false;
    for (const host::Node* root : model_.roots())
        insert(*root);
    for (const host::Node* root : model_.roots()) {
        if (root->expanded()) {
            insertChildren(*root);
            applyExpanded(*root);
        }
    }
    if (const host::Node* selected = model_.selected())
        selectionChanged(selected);
}

void TreeViewMirror::nodeAdded(const host::Node& node) {
    if (gathering_)
        return;
    const host::Node* parent = node.parent();
    if (parent == nullptr) {
        insert(node);
        return;
    }
    const auto it = items_.find(parent);
    // Otherwise the node goes in with its siblings when its parent is first expanded.
    if (it == items_.end() || !it->second.childrenIn)
        return;
    insert(node);
    if (parent->childCount() == 1) {
        setHasChildren(it->second.item);
        // A folder that was expanded before it had children shows them as they come.
        if (parent->expanded())
            applyExpanded(*parent);
    }
}

void TreeViewMirror::nodeImagesChanged(const host::Node& node) {
    // A node not in the control goes in with the images it has then; one in it asks for them when drawn.
    // Asking the control whether the item is on screen would cost a message per node.
    if (!gathering_ && items_.contains(&node))
        imagesChanged_ = true;
}

void TreeViewMirror::nodeExpandedChanged(const host::Node& node) {
    if (gathering_)
        return;
    if (node.expanded()) {
        reveal(node);
        insertChildren(node);
    } else if (!items_.contains(&node)) {
        return; // folded away already
    }
    applyExpanded(node);
}

void TreeViewMirror::applyExpanded(const host::Node& node) {
    // Expanding an item without children does nothing; nodeAdded expands it with its first child.
    send(TVM_EXPAND, node.expanded() ? TVE_EXPAND : TVE_COLLAPSE, reinterpret_cast<LPARAM>(itemOf(node)));
}

void TreeViewMirror::selectionChanged(const host::Node* node) {
    if (applyingControl_)
        return;
    flush();
    if (node != nullptr)
        reveal(*node);
    const HTREEITEM item = node != nullptr ? itemOf(*node) : nullptr;
    applyingModel_ = true;
    send(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    applyingModel_ = false;
}

void TreeViewMirror::refreshed() {
    flush();
    if (!std::exchange(imagesChanged_, false))
        return;
    // What the control shows is drawn anew, now if it was not drawn a moment ago: a marking refreshes
    // once per item it changes, and drawing for each of thousands would take seconds. The last changes
    // are drawn when the loop next runs.
    if (!invalidated_) {
        InvalidateRect(tree_, nullptr, FALSE);
        invalidated_ = true;
    }
    if (GetTickCount64() - lastDrawn_ >= RedrawIntervalMs)
        UpdateWindow(tree_);
}

void TreeViewMirror::painted() {
    invalidated_ = false;
    lastDrawn_ = GetTickCount64();
}

void TreeViewMirror::cleared() {
    items_.clear();
    send(TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
}

std::optional<LRESULT> TreeViewMirror::onNotify(NMHDR& header) {
    switch (header.code) {
    case TVN_GETDISPINFOW:
        supplyItem(reinterpret_cast<NMTVDISPINFOW&>(header));
        return 0;
    case TVN_SELCHANGEDW:
        controlSelectionChanged(reinterpret_cast<const NMTREEVIEWW&>(header));
        return 0;
    case TVN_ITEMEXPANDINGW: {
        const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
        if ((change.action & (TVE_COLLAPSE | TVE_EXPAND)) == TVE_EXPAND && change.itemNew.lParam != 0)
            insertChildren(*reinterpret_cast<const host::Node*>(change.itemNew.lParam));
        return FALSE; // let it expand
    }
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
    if (message == WM_PAINT)
        mirror->painted();
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

void TreeViewMirror::supplyItem(NMTVDISPINFOW& request) const {
    const auto* node = reinterpret_cast<const host::Node*>(request.item.lParam);
    if (node == nullptr)
        return;
    // Answered while the control draws: an image key the list lacks shows no picture rather than fail.
    if ((request.item.mask & TVIF_IMAGE) != 0)
        request.item.iImage = imageIndex(node->image());
    if ((request.item.mask & TVIF_SELECTEDIMAGE) != 0)
        request.item.iSelectedImage = imageIndex(node->selectedImage());
    if ((request.item.mask & TVIF_TEXT) == 0 || request.item.pszText == nullptr ||
        request.item.cchTextMax <= 0)
        return;
    const std::wstring text = host::automation::wide(node->text());
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
    return it->second.item;
}

} // namespace window::win32
