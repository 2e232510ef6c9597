#include "window/win32/TreeViewMirror.h"

#include "host/Failure.h"
#include "host/automation/Com.h"
#include "window/win32/Images.h"

#include <algorithm>

namespace window::win32 {
namespace {

int imageOf(const std::string& key) {
    const int index = imageIndex(key);
    if (index < 0)
        throw host::Failure(host::status::InvalidArg, "the image list has no image '" + key + "'");
    return index;
}

} // namespace

TreeViewMirror::TreeViewMirror(HWND tree, host::TreeModel& model) : tree_(tree), model_(model) {
    model_.forEachInTreeOrder([this](const host::Node& node, std::size_t) { nodeAdded(node); });
    model_.forEachInTreeOrder([this](const host::Node& node, std::size_t) {
        if (node.expanded())
            nodeExpandedChanged(node);
    });
    if (const host::Node* selected = model_.selected())
        selectionChanged(selected);
    model_.setObserver(this);
}

TreeViewMirror::~TreeViewMirror() {
    model_.setObserver(nullptr);
}

void TreeViewMirror::nodeAdded(const host::Node& node) {
    TVINSERTSTRUCTW insert{};
    insert.hParent = node.parent() != nullptr ? itemOf(*node.parent()) : TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    // The control asks for a text when it draws the item: a web of many thousand items loads without
    // converting and copying every name up front.
    insert.item.pszText = LPSTR_TEXTCALLBACKW;
    insert.item.iImage = imageOf(node.image());
    insert.item.iSelectedImage = imageOf(node.selectedImage());
    insert.item.lParam = reinterpret_cast<LPARAM>(&node);
    const auto item = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (item == nullptr)
        throw host::Failure("the tree control refused the node '" + node.key() + "'");
    items_.emplace(&node, item);
    // A folder that was expanded before it had children shows them as they come.
    if (node.parent() != nullptr && node.parent()->expanded() && node.parent()->childCount() == 1)
        nodeExpandedChanged(*node.parent());
}

void TreeViewMirror::nodeImagesChanged(const host::Node& node) {
    TVITEMW item{};
    item.mask = TVIF_HANDLE | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    item.hItem = itemOf(node);
    item.iImage = imageOf(node.image());
    item.iSelectedImage = imageOf(node.selectedImage());
    if (SendMessageW(tree_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)) == 0)
        throw host::Failure("the tree control refused the images of '" + node.key() + "'");
}

void TreeViewMirror::nodeExpandedChanged(const host::Node& node) {
    // Expanding an item without children does nothing; nodeAdded expands it with its first child.
    SendMessageW(tree_, TVM_EXPAND, node.expanded() ? TVE_EXPAND : TVE_COLLAPSE,
                 reinterpret_cast<LPARAM>(itemOf(node)));
}

void TreeViewMirror::selectionChanged(const host::Node* node) {
    if (applyingControl_)
        return;
    applyingModel_ = true;
    SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node ? itemOf(*node) : nullptr));
    applyingModel_ = false;
}

void TreeViewMirror::refreshed() {
    // Changed items were invalidated as they changed: draw them now.
    UpdateWindow(tree_);
}

void TreeViewMirror::cleared() {
    items_.clear();
    SendMessageW(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
}

void TreeViewMirror::controlSelectionChanged(const NMTREEVIEWW& change) {
    if (applyingModel_)
        return;
    applyingControl_ = true;
    try {
        model_.select(reinterpret_cast<host::Node*>(change.itemNew.lParam));
    } catch (...) {
        applyingControl_ = false;
        throw;
    }
    applyingControl_ = false;
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

void TreeViewMirror::selectItem(HTREEITEM item) {
    SendMessageW(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

HTREEITEM TreeViewMirror::itemOf(const host::Node& node) const {
    const auto it = items_.find(&node);
    if (it == items_.end())
        throw host::Failure("the tree control has no item for the node '" + node.key() + "'");
    return it->second;
}

} // namespace window::win32
