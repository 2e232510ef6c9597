#include "app/terminal/MessageScreen.h"

#include "app/terminal/Text.h"

#include <algorithm>
#include <vector>

namespace terminal {

MessageScreen::MessageScreen(std::string text, std::string title, int style)
    : text_(std::move(text)), title_(std::move(title)) {
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

bool MessageScreen::draw(Screen& screen) {
    const int maxText = std::max(10, std::min(screen.cols() - 10, 60));
    const std::vector<std::string> lines = wrapWords(text_, maxText);
    int textCols = 0;
    for (const auto& line : lines)
        textCols = std::max(textCols, textWidth(line));
    const int iconCols = icon_.empty() ? 0 : 3;
    const int width = std::min(screen.cols(), std::max({textCols + iconCols + 4, textWidth(title_) + 8, 16}));
    const int height = static_cast<int>(lines.size()) + 5;
    const int top = std::max(1, (screen.rows() - height) / 2);
    const int left = std::max(0, (screen.cols() - width) / 2);
    okY_ = top + height - 2;
    okX_ = left + (width - static_cast<int>(OkText.size())) / 2;

    screen.frame(top, left, height, width, Style::Bold);
    const std::string caption = " " + title_ + " ";
    screen.put(top, left + (width - textWidth(caption)) / 2, caption, Style::Bold, width - 2);
    if (!icon_.empty())
        screen.put(top + 2, left + 2, icon_, iconStyle_, 1);
    for (std::size_t i = 0; i < lines.size(); ++i)
        screen.put(top + 2 + static_cast<int>(i), left + 2 + iconCols, lines[i], Style::Normal,
                   width - 4 - iconCols);
    screen.put(okY_, okX_, OkText, Style::ButtonFocused);
    return true;
}

bool MessageScreen::key(Screen& screen, const Key& key) {
    if (key.is(Fn::Enter) || key.is(U' ') || key.is(Fn::Escape))
        return false;
    if (key.kind == Key::Kind::Mouse && key.mouse == MouseAction::LeftPress) {
        if (key.y == okY_ && key.x >= okX_ && key.x < okX_ + static_cast<int>(OkText.size()))
            return false;
        screen.beep();
    }
    return true;
}

} // namespace terminal
