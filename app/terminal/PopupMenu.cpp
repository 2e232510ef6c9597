#include "app/terminal/PopupMenu.h"

#include "app/terminal/Text.h"
#include "app/terminal/TreeView.h"

#include <algorithm>

namespace terminal {

bool PopupMenu::draw(Screen& screen) {
    // At the pointer, within the screen (which may have been resized meanwhile).
    const auto [treeTop, treeLeft] = treeOrigin_();
    width_ = textWidth(text_) + 4;
    top_ =
        std::clamp(treeTop + static_cast<int>(y_ / TwipsPerRow), 1, std::max(1, screen.rows() - 1 - Height));
    left_ =
        std::clamp(treeLeft + static_cast<int>(x_ / TwipsPerColumn), 0, std::max(0, screen.cols() - width_));
    screen.frame(top_, left_, Height, width_, Style::Menu);
    screen.fill(top_ + 1, left_ + 1, width_ - 2, Style::MenuSelected);
    screen.put(top_ + 1, left_ + 2, text_, Style::MenuSelected, width_ - 4);
    return true;
}

bool PopupMenu::key(Screen&, const Key& key) {
    if (key.is(Fn::Enter) || key.is(U' ')) {
        chosen_ = true;
        return false;
    }
    if (key.is(Fn::Escape) || key.is(Fn::F10))
        return false;
    if (key.kind == Key::Kind::Mouse) {
        const bool onItem = key.y == top_ + 1 && key.x > left_ && key.x < left_ + width_ - 1;
        const bool inside =
            key.y >= top_ && key.y < top_ + Height && key.x >= left_ && key.x < left_ + width_;
        if (onItem && (key.mouse == MouseAction::LeftRelease || key.mouse == MouseAction::RightRelease)) {
            chosen_ = true;
            return false;
        }
        if (!inside && (key.mouse == MouseAction::LeftPress || key.mouse == MouseAction::RightPress))
            return false;
    }
    return true;
}

} // namespace terminal
