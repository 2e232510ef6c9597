#include "app/terminal/PopupMenu.h"

#include "app/terminal/Text.h"
#include "app/terminal/TreeView.h"

#include <algorithm>

namespace terminal {

std::string PopupMenu::hints(const Screen&) const {
    return entries_.size() > 1 ? "Up/Down choose  Enter or Space chooses  Esc dismisses"
                               : "Enter or Space chooses  Esc dismisses";
}

bool PopupMenu::draw(Screen& screen) {
    // At the pointer, within the screen (which may have been resized meanwhile).
    const auto [treeTop, treeLeft] = treeOrigin_();
    const int height = static_cast<int>(entries_.size()) + 2;
    width_ = 0;
    for (const auto& entry : entries_)
        width_ = std::max(width_, textWidth(entry) + 4);
    top_ =
        std::clamp(treeTop + static_cast<int>(y_ / TwipsPerRow), 1, std::max(1, screen.rows() - 1 - height));
    left_ =
        std::clamp(treeLeft + static_cast<int>(x_ / TwipsPerColumn), 0, std::max(0, screen.cols() - width_));
    screen.frame(top_, left_, height, width_, Style::Menu);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const int y = top_ + 1 + static_cast<int>(i);
        const Style style = i == selected_ ? Style::MenuSelected : Style::Menu;
        screen.fill(y, left_ + 1, width_ - 2, style);
        screen.put(y, left_ + 2, entries_[i], style, width_ - 4);
    }
    return true;
}

bool PopupMenu::key(Screen&, const Key& key) {
    if (key.is(Fn::Enter) || key.is(U' ')) {
        chosen_ = selected_;
        return false;
    }
    if (key.is(Fn::Escape) || key.is(Fn::F10))
        return false;
    if (key.is(Fn::Down))
        selected_ = (selected_ + 1) % entries_.size();
    else if (key.is(Fn::Up))
        selected_ = (selected_ + entries_.size() - 1) % entries_.size();
    if (key.kind == Key::Kind::Mouse) {
        const int height = static_cast<int>(entries_.size()) + 2;
        const int row = key.y - top_ - 1;
        const bool onEntry = row >= 0 && row < static_cast<int>(entries_.size()) && key.x > left_ &&
                             key.x < left_ + width_ - 1;
        const bool inside =
            key.y >= top_ && key.y < top_ + height && key.x >= left_ && key.x < left_ + width_;
        if (onEntry && (key.mouse == MouseAction::LeftRelease || key.mouse == MouseAction::RightRelease)) {
            chosen_ = static_cast<std::size_t>(row);
            return false;
        }
        if (!inside && (key.mouse == MouseAction::LeftPress || key.mouse == MouseAction::RightPress))
            return false;
    }
    return true;
}

} // namespace terminal
