#include "app/terminal/Glyphs.h"
#include "app/terminal/TerminalHost.h"
#include "app/terminal/Text.h"

// The help: every key of the window and what each sign of the tree means, in its colour.
namespace terminal {

namespace {

struct HelpLine {
    std::string_view imageKey; // a glyph of the tree before the text; empty for none
    std::string text;
};

std::vector<HelpLine> helpLines(bool unicode) {
    const std::vector<std::pair<std::string, std::string>> keys = {
        {unicode ? "\u2191 \u2193  k j" : "Up Down  k j", "move; PgUp PgDn Home End too"},
        {unicode ? "\u2192 l +  \u2190 h -" : "Right l +  Left h -",
         "expand / collapse, or go to the parent"},
        {"Enter  *", "expand or collapse; expand all beneath"},
        {"letters", "jump to the next name starting with them"},
        {"/  n  N", "find a name; the next; the previous"},
        {"m  Shift+F10", "the menu: Don't Publish (a folder: all in it)"},
        {"u  Ctrl+Z", "undo the last choice"},
        {"U  Ctrl+R", "redo what was undone"},
        {"Tab  Esc", "to the Close button; close the window"},
        {"F10  Alt+F", "the Tools menu; the File menu"},
        {"F1  ?", "this help"},
        {"q", "quit (from anywhere but a menu or prompt)"},
    };
    std::vector<HelpLine> lines = {{"", "Keys"}};
    for (const auto& [key, what] : keys)
        lines.push_back(
            {"", "  " + key + std::string(static_cast<std::size_t>(std::max(1, 20 - textWidth(key))), ' ') +
                     what});
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

void TerminalHost::showHelp() {
    const std::vector<HelpLine> lines = helpLines(screen_.unicode());
    const HintsScope hints(modalHints_, "Up Down PgUp PgDn scroll  any other key closes the help");
    std::size_t first = 0;
    while (!quitRequested()) {
        const int width = std::min(screen_.cols(), 72);
        const int height = std::min(screen_.rows() - 3, static_cast<int>(lines.size()) + 2);
        if (width < 20 || height < 3)
            return;
        const int top = 1 + std::max(0, (screen_.rows() - 3 - height) / 2);
        const int left = std::max(0, (screen_.cols() - width) / 2);
        const std::size_t shown = static_cast<std::size_t>(height - 2);
        first = std::min(first, lines.size() > shown ? lines.size() - shown : 0);

        draw();
        screen_.frame(top, left, height, width, Style::Bold);
        const std::string caption = " Help ";
        screen_.put(top, left + (width - textWidth(caption)) / 2, caption, Style::Bold, width - 2);
        for (std::size_t i = 0; i < shown && first + i < lines.size(); ++i) {
            const HelpLine& line = lines[first + i];
            const int y = top + 1 + static_cast<int>(i);
            if (line.imageKey.empty()) {
                screen_.put(y, left + 2, line.text,
                            line.text == "Keys" || line.text == "Signs" ? Style::Bold : Style::Normal,
                            width - 4);
                continue;
            }
            const Glyph glyph = glyphFor(line.imageKey);
            screen_.putGlyph(y, left + 4, screen_.symbol(glyph.unicode, glyph.ascii), glyph.colour);
            screen_.put(y, left + 7, line.text, Style::Normal, width - 9);
        }
        screen_.show();

        const Key key = screen_.read();
        if (key.kind == Key::Kind::None || key.kind == Key::Kind::Resize)
            continue;
        if (key.is(Fn::Down) || key.is(U'j'))
            ++first;
        else if ((key.is(Fn::Up) || key.is(U'k')) && first > 0)
            --first;
        else if (key.is(Fn::PageDown))
            first += shown;
        else if (key.is(Fn::PageUp))
            first -= std::min(first, shown);
        else if (key.kind != Key::Kind::Mouse || key.mouse == MouseAction::LeftPress)
            return;
    }
}

} // namespace terminal
