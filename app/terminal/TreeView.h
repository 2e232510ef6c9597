#pragma once

#include "host/TreeModel.h"

#include <cstddef>
#include <optional>
#include <vector>

// The tree control's behaviour on a character terminal: which nodes show as rows, how the keys move the
// selection and fold folders, and which rows fit in the view. The nodes, the selection and the expanded
// state stay in the TreeModel, which the add-in also reads and changes.
namespace terminal {

// The tree's mouse coordinates are in twips, as the window's handlers expect them; a character cell
// counts as 8 x 16 pixels.
constexpr float TwipsPerColumn = 120.0f;
constexpr float TwipsPerRow = 240.0f;

struct TreeRow {
    host::Node* node;
    std::size_t depth;
};

// Every root, and the children of every node that shows and is expanded, in tree order.
std::vector<TreeRow> visibleRows(const host::TreeModel& tree);

class TreeView {
  public:
    explicit TreeView(host::TreeModel& tree) : tree_(tree) {}

    const std::vector<TreeRow>& rows() const { return rows_; }
    // Reads the model again; call after anything may have changed it.
    void update();

    // The selected node's row, or none when nothing that shows is selected.
    std::optional<std::size_t> selectedRow() const;

    // Keyboard: each selects through the model and scrolls the selection into view.
    void moveBy(int rows); // a move past either end stops there
    void moveToFirst();
    void moveToLast();
    void pageDown() { moveBy(pageStep()); }
    void pageUp() { moveBy(-pageStep()); }
    // Right: expands a folded node with children, or steps into an expanded one.
    void expandOrDescend();
    // Left: folds an expanded node, or steps up to the parent.
    void collapseOrAscend();
    // Enter and the expander: folds or unfolds; folding a node that holds the selection selects the node.
    void toggle(host::Node& node);
    void selectRow(std::size_t row);
    // Nothing selected yet: selects the first row, as a tree control does when it gets the focus.
    void ensureSelection();

    // The view's height in rows, and its first row.
    void setHeight(std::size_t height);
    std::size_t height() const { return height_; }
    std::size_t top() const { return top_; }
    void scrollBy(int rows); // the wheel: moves the view, not the selection
    void reveal();           // scrolls so the selected row shows
    void resetScroll() { top_ = 0; }

  private:
    int pageStep() const { return height_ > 1 ? static_cast<int>(height_) - 1 : 1; }
    void clampTop();

    host::TreeModel& tree_;
    std::vector<TreeRow> rows_;
    std::size_t top_ = 0;
    std::size_t height_ = 1;
};

} // namespace terminal
