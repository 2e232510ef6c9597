#include "app/terminal/PromptScreen.h"

#include "app/terminal/PathCompletion.h"
#include "app/terminal/Text.h"

#include <algorithm>

namespace terminal {

std::string PromptScreen::hints(const Screen&) const {
    return completeFolders_ ? "Enter OK  Esc cancels  Tab completes a folder name" : "Enter OK  Esc cancels";
}

bool PromptScreen::draw(Screen& screen) {
    const int width = std::min(screen.cols(), 72);
    const int height = 7;
    const int top = std::max(1, (screen.rows() - height) / 2);
    const int left = std::max(0, (screen.cols() - width) / 2);
    const int fieldWidth = width - 4;

    screen.frame(top, left, height, width, Style::Bold);
    const std::string caption = " " + title_ + " ";
    screen.put(top, left + (width - textWidth(caption)) / 2, caption, Style::Bold, width - 2);
    screen.put(top + 1, left + 2, label_, Style::Normal, fieldWidth);
    screen.fill(top + 2, left + 2, fieldWidth, Style::Field);
    const LineEdit::View v = edit_.view(fieldWidth - 1);
    screen.put(top + 2, left + 2, v.text, Style::Field, fieldWidth);
    if (!candidates_.empty()) {
        std::string line;
        for (const auto& c : candidates_)
            line += (line.empty() ? "" : "  ") + c + "/";
        screen.put(top + 3, left + 2, fitWidth(printable(line, screen.unicode()), fieldWidth, "~"),
                   Style::Dim, fieldWidth);
    }
    screen.put(top + 4, left + 2,
               completeFolders_ ? "Enter opens, Esc cancels, Tab completes" : "Enter finds, Esc cancels",
               Style::Dim, fieldWidth);
    screen.placeCursor(top + 2, left + 2 + v.cursorColumn);
    return true;
}

bool PromptScreen::key(Screen& screen, const Key& key) {
    if (key.is(Fn::Enter)) {
        result_ = edit_.text();
        return false;
    }
    if (key.is(Fn::Escape))
        return false;
    if (key.is(Fn::Tab) && completeFolders_) {
        Completion c = completeFolder(edit_.text());
        if (c.text == edit_.text() && c.candidates.empty())
            screen.beep();
        edit_ = LineEdit(c.text);
        candidates_ = std::move(c.candidates);
        return true;
    }
    candidates_.clear();
    if (key.is(Fn::Left) || key.is(U'\x02'))
        edit_.left();
    else if (key.is(Fn::Right) || key.is(U'\x06'))
        edit_.right();
    else if (key.is(Fn::Home) || key.is(U'\x01'))
        edit_.home();
    else if (key.is(Fn::End) || key.is(U'\x05'))
        edit_.end();
    else if (key.is(Fn::Backspace))
        edit_.backspace();
    else if (key.is(Fn::Delete) || key.is(U'\x04'))
        edit_.erase();
    else if (key.is(U'\x0B'))
        edit_.killToEnd();
    else if (key.is(U'\x15'))
        edit_.killToStart();
    else if (key.is(U'\x17'))
        edit_.killWordBack();
    else if (key.kind == Key::Kind::Char && !key.alt)
        edit_.insert(key.ch);
    return true;
}

} // namespace terminal
