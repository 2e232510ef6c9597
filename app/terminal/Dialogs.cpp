#include "app/terminal/LineEdit.h"
#include "app/terminal/PathCompletion.h"
#include "app/terminal/TerminalHost.h"
#include "app/terminal/Text.h"
#include "window/Layout.h"

namespace terminal {

bool TerminalHost::popUpMenu(bool checked, float x, float y) {
    const std::string text = std::string(checked ? screen_.symbol("\u2713 ", "* ") : "  ") +
                             std::string(window::layout::mnuNoPublishCaption);
    const int width = textWidth(text) + 4;
    const int height = 3;
    const HintsScope hints(modalHints_, "Enter or Space chooses  Esc dismisses");
    while (!quitRequested()) {
        // At the pointer, within the screen (which may have been resized meanwhile).
        const WindowLayout l = layout();
        const int top = std::clamp(l.treeTop + static_cast<int>(y / TwipsPerRow), 1,
                                   std::max(1, screen_.rows() - 1 - height));
        const int left = std::clamp(l.treeLeft + static_cast<int>(x / TwipsPerColumn), 0,
                                    std::max(0, screen_.cols() - width));
        draw();
        screen_.frame(top, left, height, width, Style::Menu);
        screen_.fill(top + 1, left + 1, width - 2, Style::MenuSelected);
        screen_.put(top + 1, left + 2, text, Style::MenuSelected, width - 4);
        screen_.show();

        const Key key = screen_.read();
        if (key.is(Fn::Enter) || key.is(U' ')) {
            if (!lockForChoice())
                return false;
            beforeChoice(checked);
            return true;
        }
        if (key.is(Fn::Escape) || key.is(Fn::F10))
            return false;
        if (key.kind == Key::Kind::Mouse) {
            const bool onItem = key.y == top + 1 && key.x > left && key.x < left + width - 1;
            const bool inside = key.y >= top && key.y < top + height && key.x >= left && key.x < left + width;
            if (onItem && (key.mouse == MouseAction::LeftRelease || key.mouse == MouseAction::RightRelease)) {
                if (!lockForChoice())
                    return false;
                beforeChoice(checked);
                return true;
            }
            if (!inside && (key.mouse == MouseAction::LeftPress || key.mouse == MouseAction::RightPress))
                return false;
        }
    }
    return false;
}

void TerminalHost::messageBox(const std::string& text, const std::string& title, int style) {
    // The style's icon bits: 16 stop, 32 question, 48 exclamation, 64 information.
    std::string icon;
    Style iconStyle = Style::Exclamation;
    switch (style & 0x70) {
    case 16:
        icon = "X";
        iconStyle = Style::Badge;
        break;
    case 32:
        icon = "?";
        break;
    case 48:
        icon = "!";
        break;
    case 64:
        icon = "i";
        break;
    default:
        break;
    }
    const std::string okText = "[ OK ]";
    const HintsScope hints(modalHints_, "Enter, Space or Esc closes the message");
    while (!quitRequested()) {
        const int maxText = std::max(10, std::min(screen_.cols() - 10, 60));
        const std::vector<std::string> lines = wrapWords(text, maxText);
        int textCols = 0;
        for (const auto& line : lines)
            textCols = std::max(textCols, textWidth(line));
        const int iconCols = icon.empty() ? 0 : 3;
        const int width =
            std::min(screen_.cols(), std::max({textCols + iconCols + 4, textWidth(title) + 8, 16}));
        const int height = static_cast<int>(lines.size()) + 5;
        const int top = std::max(1, (screen_.rows() - height) / 2);
        const int left = std::max(0, (screen_.cols() - width) / 2);
        const int okY = top + height - 2;
        const int okX = left + (width - static_cast<int>(okText.size())) / 2;

        draw();
        screen_.frame(top, left, height, width, Style::Bold);
        const std::string caption = " " + title + " ";
        screen_.put(top, left + (width - textWidth(caption)) / 2, caption, Style::Bold, width - 2);
        if (!icon.empty())
            screen_.put(top + 2, left + 2, icon, iconStyle, 1);
        for (std::size_t i = 0; i < lines.size(); ++i)
            screen_.put(top + 2 + static_cast<int>(i), left + 2 + iconCols, lines[i], Style::Normal,
                        width - 4 - iconCols);
        screen_.put(okY, okX, okText, Style::ButtonFocused);
        screen_.show();

        const Key key = screen_.read();
        if (key.is(Fn::Enter) || key.is(U' ') || key.is(Fn::Escape))
            return;
        if (key.kind == Key::Kind::Mouse && key.mouse == MouseAction::LeftPress) {
            if (key.y == okY && key.x >= okX && key.x < okX + static_cast<int>(okText.size()))
                return;
            screen_.beep();
        }
    }
}

std::optional<std::string> TerminalHost::prompt(const std::string& title, const std::string& label,
                                                const std::string& initial, bool completeFolders) {
    LineEdit edit(initial);
    std::vector<std::string> candidates; // after a Tab that found more than one folder
    const HintsScope hints(modalHints_, completeFolders ? "Enter OK  Esc cancels  Tab completes a folder name"
                                                        : "Enter OK  Esc cancels");
    while (!quitRequested()) {
        const int width = std::min(screen_.cols(), 72);
        const int height = 7;
        const int top = std::max(1, (screen_.rows() - height) / 2);
        const int left = std::max(0, (screen_.cols() - width) / 2);
        const int fieldWidth = width - 4;

        draw();
        screen_.frame(top, left, height, width, Style::Bold);
        const std::string caption = " " + title + " ";
        screen_.put(top, left + (width - textWidth(caption)) / 2, caption, Style::Bold, width - 2);
        screen_.put(top + 1, left + 2, label, Style::Normal, fieldWidth);
        screen_.fill(top + 2, left + 2, fieldWidth, Style::Field);
        const LineEdit::View v = edit.view(fieldWidth - 1);
        screen_.put(top + 2, left + 2, v.text, Style::Field, fieldWidth);
        if (!candidates.empty()) {
            std::string line;
            for (const auto& c : candidates)
                line += (line.empty() ? "" : "  ") + c + "/";
            screen_.put(top + 3, left + 2, fitWidth(printable(line, screen_.unicode()), fieldWidth, "~"),
                        Style::Dim, fieldWidth);
        }
        screen_.put(top + 4, left + 2,
                    completeFolders ? "Enter opens, Esc cancels, Tab completes" : "Enter finds, Esc cancels",
                    Style::Dim, fieldWidth);
        screen_.placeCursor(top + 2, left + 2 + v.cursorColumn);
        screen_.show();

        const Key key = screen_.read();
        if (key.is(Fn::Enter)) {
            screen_.hideCursor();
            return edit.text();
        }
        if (key.is(Fn::Escape)) {
            screen_.hideCursor();
            return std::nullopt;
        }
        if (key.is(Fn::Tab) && completeFolders) {
            Completion c = completeFolder(edit.text());
            if (c.text == edit.text() && c.candidates.empty())
                screen_.beep();
            edit = LineEdit(c.text);
            candidates = std::move(c.candidates);
            continue;
        }
        candidates.clear();
        if (key.is(Fn::Left) || key.is(U'\x02'))
            edit.left();
        else if (key.is(Fn::Right) || key.is(U'\x06'))
            edit.right();
        else if (key.is(Fn::Home) || key.is(U'\x01'))
            edit.home();
        else if (key.is(Fn::End) || key.is(U'\x05'))
            edit.end();
        else if (key.is(Fn::Backspace))
            edit.backspace();
        else if (key.is(Fn::Delete) || key.is(U'\x04'))
            edit.erase();
        else if (key.is(U'\x0B'))
            edit.killToEnd();
        else if (key.is(U'\x15'))
            edit.killToStart();
        else if (key.is(U'\x17'))
            edit.killWordBack();
        else if (key.kind == Key::Kind::Char && !key.alt)
            edit.insert(key.ch);
    }
    screen_.hideCursor();
    return std::nullopt;
}

} // namespace terminal
