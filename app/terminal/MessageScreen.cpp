#include "app/terminal/MessageScreen.h"

#include "app/terminal/Text.h"

#include <algorithm>
#include <vector>

namespace terminal {

MessageScreen::MessageScreen(std::string text, std::string title, int style, std::vector<std::string> buttons)
    : text_(std::move(text)), title_(std::move(title)), buttons_(std::move(buttons)) {
    switch (style & 0x70) {
    case 16:
        icon_ = "X";
        iconStyle_ = Style::Badge;
        break;
    case 32:
        icon_ = "?";
        break;
    case 48:
        icon_ = "!";
        break;
    case 64:
        icon_ = "i";
        break;
    default:
        break;
    }
}

std::string MessageScreen::hints(const Screen&) const {
    return buttons_.size() == 1 ? "Enter, Space or Esc closes the message"
                                : "Tab or Left/Right to the answer  Enter chooses  Esc cancels";
}

bool MessageScreen::draw(Screen& screen) {
    std::vector<std::string> labels;
    int buttonsWidth = 0;
    for (const auto& button : buttons_) {
        labels.push_back("[ " + button + " ]");
        buttonsWidth += textWidth(labels.back()) + (labels.size() > 1 ? 2 : 0);
    }
    const int maxText = std::max(10, std::min(screen.cols() - 10, 60));
    const std::vector<std::string> lines = wrapWords(text_, maxText);
    int textCols = 0;
    for (const auto& line : lines)
        textCols = std::max(textCols, textWidth(line));
    const int iconCols = icon_.empty() ? 0 : 3;
    const int width = std::min(
        screen.cols(), std::max({textCols + iconCols + 4, textWidth(title_) + 8, buttonsWidth + 4, 16}));
    const int height = static_cast<int>(lines.size()) + 5;
    const int top = std::max(1, (screen.rows() - height) / 2);
    const int left = std::max(0, (screen.cols() - width) / 2);

    screen.frame(top, left, height, width, Style::Bold);
    const std::string caption = " " + title_ + " ";
    screen.put(top, left + (width - textWidth(caption)) / 2, caption, Style::Bold, width - 2);
    if (!icon_.empty())
        screen.put(top + 2, left + 2, icon_, iconStyle_, 1);
    for (std::size_t i = 0; i < lines.size(); ++i)
        screen.put(top + 2 + static_cast<int>(i), left + 2 + iconCols, lines[i], Style::Normal,
                   width - 4 - iconCols);
    buttonsY_ = top + height - 2;
    placed_.clear();
    int x = left + std::max(1, (width - buttonsWidth) / 2);
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const int drawn =
            screen.put(buttonsY_, x, labels[i], i == focused_ ? Style::ButtonFocused : Style::Button,
                       left + width - 1 - x);
        placed_.push_back({x, drawn});
        x += drawn + 2;
    }
    return true;
}

bool MessageScreen::key(Screen& screen, const Key& key) {
    if (key.is(Fn::Enter) || key.is(U' ')) {
        chosen_ = focused_;
        return false;
    }
    if (key.is(Fn::Escape))
        return false;
    if (key.is(Fn::Tab) || key.is(Fn::Right))
        focused_ = (focused_ + 1) % buttons_.size();
    else if (key.is(Fn::BackTab) || key.is(Fn::Left))
        focused_ = (focused_ + buttons_.size() - 1) % buttons_.size();
    else if (key.kind == Key::Kind::Mouse && key.mouse == MouseAction::LeftPress) {
        for (std::size_t i = 0; i < placed_.size(); ++i) {
            if (key.y == buttonsY_ && key.x >= placed_[i].x && key.x < placed_[i].x + placed_[i].width) {
                chosen_ = i;
                return false;
            }
        }
        screen.beep();
    }
    return true;
}

} // namespace terminal
