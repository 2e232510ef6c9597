#pragma once

#include "app/terminal/ModalScreen.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace terminal {

// The window's context menu at the pointer inside the tree: "Don't Publish", and the host's own entries
// after it.
class PopupMenu final : public ModalScreen {
  public:
    // `treeOrigin` gives the tree's first row and column on the screen as it is laid out now; x and y are
    // the pointer's place in it, in twips.
    PopupMenu(std::vector<std::string> entries, float x, float y,
              std::function<std::pair<int, int>()> treeOrigin)
        : entries_(std::move(entries)), x_(x), y_(y), treeOrigin_(std::move(treeOrigin)) {}

    // The entry chosen; none when the menu was dismissed.
    std::optional<std::size_t> chosen() const { return chosen_; }

    std::string hints(const Screen&) const override;
    bool draw(Screen& screen) override;
    bool key(Screen& screen, const Key& key) override;

  private:
    std::vector<std::string> entries_;
    float x_, y_;
    std::function<std::pair<int, int>()> treeOrigin_;
    int top_ = 0, left_ = 0, width_ = 0;
    std::size_t selected_ = 0;
    std::optional<std::size_t> chosen_;
};

} // namespace terminal
