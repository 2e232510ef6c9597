#include "app/terminal/HelpScreen.h"

#include "app/terminal/Glyphs.h"
#include "app/terminal/Text.h"

#include <algorithm>
#include <utility>

// The help: every key of the window and what each sign of the tree means, in its colour.
namespace terminal {

namespace {

std::vector<HelpScreen::HelpLine> helpLines(bool unicode) {
    const std::vector<std::pair<std::string, std::string>> keys = {
        {unicode ? "\u2191 \u2193  k j" : "Up Down  k j", "move; PgUp PgDn Home End too"},
        {unicode ? "\u2192 l +  \u2190 h -" : "Right l +  Left h -",
         "expand / collapse, or go to the parent"},
        {"Enter  *", "expand or collapse; expand all beneath"},
        {"Ctrl+S", "jump to a name as you type its beginning"},
        {"/  n  N", "find a name; the next; the previous"},
        {"m  Shift+F10", "the menu: Don't Publish (or all files of a kind)"},
        {"u  Ctrl+Z", "undo the last choice"},
        {"U  Ctrl+R", "redo what was undone"},
        {"Tab  Esc", "to the Close button; close the window"},
        {"F10  Alt+T", "the Tools menu"},
        {"Alt+F", "the File menu"},
        {"F1  ?", "this help"},
        {"F2", "read the whole of a note too long for its line"},
        {"q", "quit; in the help: close the help"},
    };
    const std::vector<std::pair<std::string, std::string>> mouse = {
        {"click",
         "select a row; on " + std::string(unicode ? "\u25B8 \u25BE" : "+ -") + " expand or collapse"},
        {"right-click", "select the row and open its menu"},
        {"wheel", "scroll the tree"},
        {"menu title", "a click opens the menu"},
        {"Close  [x]", "a click closes the window"},
    };
    std::vector<HelpScreen::HelpLine> lines = {{"", "Keys"}};
    for (const auto& [key, what] : keys)
        lines.push_back(
            {"", "  " + key + std::string(static_cast<std::size_t>(std::max(1, 20 - textWidth(key))), ' ') +
                     what});
    lines.push_back({"", ""});
    lines.push_back({"", "Mouse"});
    for (const auto& [what, does] : mouse)
        lines.push_back(
            {"", "  " + what + std::string(static_cast<std::size_t>(std::max(1, 20 - textWidth(what))), ' ') +
                     does});
    lines.push_back({"", ""});
    lines.push_back({"", "Signs"});
    for (std::string_view key : {"web", "closed", "open", "home", "page", "gif", "jpg", "media", "winmedia",
                                 "script", "text", "xml", "config", "unknown"})
        lines.push_back({key, std::string(glyphFor(key).kind)});
    lines.push_back({"", std::string("  ") +
                             (unicode ? std::string(MarkBadge) : std::string(MarkBadgeAscii)) +
                             "  (red) Don't Publish: left out when the web is published"});
    lines.push_back({"", std::string("  ") + std::string(PartlyBadge) +
                             "  (yellow) published, but holds items left out"});
    lines.push_back({"", std::string("  ") + std::string(LinkBadge) +
                             "  (yellow) left out, but a published page links to it"});
    lines.push_back({"", "The line above the keys says why the selected item shows as it does."});
    return lines;
}

} // namespace

HelpScreen::HelpScreen(bool unicode) : lines_(helpLines(unicode)) {}

bool HelpScreen::draw(Screen& screen) {
    const int width = std::min(screen.cols(), 72);
    const int height = std::min(screen.rows() - 3, static_cast<int>(lines_.size()) + 2);
    if (width < 20 || height < 3)
        return false;
    const int top = 1 + std::max(0, (screen.rows() - 3 - height) / 2);
    const int left = std::max(0, (screen.cols() - width) / 2);
    shown_ = static_cast<std::size_t>(height - 2);
    first_ = std::min(first_, lines_.size() > shown_ ? lines_.size() - shown_ : 0);

    screen.frame(top, left, height, width, Style::Bold);
    const std::string caption = " Help ";
    screen.put(top, left + (width - textWidth(caption)) / 2, caption, Style::Bold, width - 2);
    for (std::size_t i = 0; i < shown_ && first_ + i < lines_.size(); ++i) {
        const HelpLine& line = lines_[first_ + i];
        const int y = top + 1 + static_cast<int>(i);
        if (line.imageKey.empty()) {
            screen.put(y, left + 2, line.text,
                       line.text == "Keys" || line.text == "Mouse" || line.text == "Signs" ? Style::Bold
                                                                                           : Style::Normal,
                       width - 4);
            continue;
        }
        const Glyph glyph = glyphFor(line.imageKey);
        screen.putGlyph(y, left + 4, screen.symbol(glyph.unicode, glyph.ascii), glyph.colour);
        screen.put(y, left + 7, line.text, Style::Normal, width - 9);
    }
    // The frame says how much lies beyond it, so no one takes the first page for all of it.
    const std::size_t below = lines_.size() - std::min(lines_.size(), first_ + shown_);
    if (below > 0 || first_ > 0) {
        std::string more = " ";
        if (first_ > 0)
            more += std::string(screen.symbol("\u2191", "^")) + " " + std::to_string(first_) + " above ";
        if (below > 0)
            more += std::string(first_ > 0 ? " " : "") + std::string(screen.symbol("\u2193", "v")) + " " +
                    std::to_string(below) + " more ";
        screen.put(top + height - 1, left + 2, more, Style::Bold, width - 4);
    }
    return true;
}

bool HelpScreen::key(Screen&, const Key& key) {
    if (key.kind == Key::Kind::Resize)
        return true;
    if (key.is(Fn::Down) || key.is(U'j'))
        ++first_;
    else if ((key.is(Fn::Up) || key.is(U'k')) && first_ > 0)
        --first_;
    else if (key.is(Fn::PageDown))
        first_ += shown_;
    else if (key.is(Fn::PageUp))
        first_ -= std::min(first_, shown_);
    else if (key.is(Fn::Home))
        first_ = 0;
    else if (key.is(Fn::End))
        first_ = lines_.size(); // draw() stops it at the last page
    else if (key.kind != Key::Kind::Mouse || key.mouse == MouseAction::LeftPress)
        return false;
    return true;
}

} // namespace terminal
