#pragma once

#include "app/terminal/ModalScreen.h"

#include <functional>
#include <string>
#include <utility>

namespace terminal {

// The window's context menu: its one entry, "Don't Publish", at the pointer inside the tree.
class PopupMenu final : public ModalScreen {
  public:
    // `treeOrigin` gives the tree's first row and column on the screen as it is laid out now; x and y are
    // the pointer's place in it, in twips.
    PopupMenu(std::string text, float x, float y, std::function<std::pair<int, int>()> treeOrigin)
        : text_(std::move(text)), x_(x), y_(y), treeOrigin_(std::move(treeOrigin)) {}

    bool chosen() const { return chosen_; }

    std::string hints(const Screen&) const override { return "Enter or Space chooses  Esc dismisses"; }
    bool draw(Screen& screen) override;
    bool key(Screen& screen, const Key& key) override;

  private:
    static constexpr int Height = 3;

    std::string text_;
    float x_, y_;
    std::function<std::pair<int, int>()> treeOrigin_;
    int top_ = 0, left_ = 0, width_ = 0;
    bool chosen_ = false;
};

} // namespace terminal
