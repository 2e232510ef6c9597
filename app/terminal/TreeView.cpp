#include "app/terminal/TreeView.h"

#include <algorithm>

namespace terminal {
namespace {

void addShown(host::Node& node, std::size_t depth, std::vector<TreeRow>& rows) {
    rows.push_back({&node, depth});
    if (!node.expanded())
        return;
    for (host::Node* child : node.children())
        addShown(*child, depth + 1, rows);
}

bool isInside(const host::Node* node, const host::Node& ancestor) {
    for (const host::Node* n = node ? node->parent() : nullptr; n != nullptr; n = n->parent()) {
        if (n == &ancestor)
            return true;
    }
    return false;
}

} // namespace

std::vector<TreeRow> visibleRows(const host::TreeModel& tree) {
    std::vector<TreeRow> rows;
    for (host::Node* root : tree.roots())
        addShown(*root, 0, rows);
    return rows;
}

void TreeView::update() {
    rows_ = visibleRows(tree_);
    clampTop();
}

std::optional<std::size_t> TreeView::selectedRow() const {
    const host::Node* selected = tree_.selected();
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].node == selected)
            return i;
    }
    return std::nullopt;
}

void TreeView::selectRow(std::size_t row) {
    update();
    if (rows_.empty())
        return;
    row = std::min(row, rows_.size() - 1);
    tree_.select(rows_[row].node);
    reveal();
}

void TreeView::moveBy(int delta) {
    update();
    if (rows_.empty())
        return;
    const auto current = selectedRow();
    if (!current) {
        selectRow(0);
        return;
    }
    const auto last = static_cast<long>(rows_.size()) - 1;
    const long target = std::clamp(static_cast<long>(*current) + delta, 0L, last);
    selectRow(static_cast<std::size_t>(target));
}

void TreeView::moveToFirst() {
    selectRow(0);
}

void TreeView::moveToLast() {
    update();
    if (!rows_.empty())
        selectRow(rows_.size() - 1);
}

void TreeView::expandOrDescend() {
    host::Node* node = tree_.selected();
    if (node == nullptr) {
        ensureSelection();
        return;
    }
    if (node->childCount() == 0)
        return;
    if (!node->expanded())
        node->setExpanded(true);
    else
        tree_.select(node->firstChild());
    update();
    reveal();
}

void TreeView::collapseOrAscend() {
    host::Node* node = tree_.selected();
    if (node == nullptr) {
        ensureSelection();
        return;
    }
    if (node->expanded() && node->childCount() > 0)
        node->setExpanded(false);
    else if (node->parent() != nullptr)
        tree_.select(node->parent());
    update();
    reveal();
}

void TreeView::toggle(host::Node& node) {
    if (node.childCount() == 0)
        return;
    const bool folding = node.expanded();
    if (folding && isInside(tree_.selected(), node))
        tree_.select(&node);
    node.setExpanded(!folding);
    update();
    if (folding)
        reveal();
}

void TreeView::ensureSelection() {
    update();
    if (!selectedRow() && !rows_.empty())
        selectRow(0);
}

void TreeView::setHeight(std::size_t height) {
    height_ = std::max<std::size_t>(height, 1);
    clampTop();
}

void TreeView::scrollBy(int delta) {
    const long top = static_cast<long>(top_) + delta;
    top_ = static_cast<std::size_t>(std::max(top, 0L));
    clampTop();
}

void TreeView::reveal() {
    const auto row = selectedRow();
    if (!row)
        return;
    if (*row < top_)
        top_ = *row;
    else if (*row >= top_ + height_)
        top_ = *row + 1 - height_;
    clampTop();
}

void TreeView::clampTop() {
    const std::size_t maxTop = rows_.size() > height_ ? rows_.size() - height_ : 0;
    top_ = std::min(top_, maxTop);
}

} // namespace terminal
