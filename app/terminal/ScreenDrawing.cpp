// Drawing on the curses screen: text made printable and cut to its cells, in the style's colours or, on a
// terminal without colours, in the attributes that still tell the styles apart.
#include "app/terminal/Curses.h"

#include <algorithm>
#include <string>

namespace terminal {
namespace {

attr_t attributesOf(Style s, bool colours) {
    attr_t extra = A_NORMAL;
    attr_t plain = A_NORMAL; // without colours
    switch (s) {
    case Style::Bold:
    case Style::Button:
    case Style::Exclamation:
        extra = A_BOLD;
        plain = A_BOLD;
        break;
    case Style::Dim:
        extra = A_DIM;
        plain = A_DIM;
        break;
    case Style::MenuBar:
    case Style::Menu:
    case Style::Field:
        plain = A_REVERSE;
        break;
    case Style::MenuDisabled:
        extra = A_DIM;
        plain = A_REVERSE | A_DIM;
        break;
    case Style::MenuBarOpen:
    case Style::MenuSelected:
    case Style::Selected:
    case Style::ButtonFocused:
        extra = A_BOLD;
        plain = A_BOLD;
        break;
    case Style::SelectedUnfocused:
        plain = A_UNDERLINE;
        break;
    case Style::Error:
        extra = A_BOLD;
        plain = A_BOLD | A_REVERSE;
        break;
    case Style::Badge:
    case Style::Partly:
        extra = A_BOLD;
        plain = A_BOLD;
        break;
    case Style::Note:
    case Style::Normal:
        break;
    }
    if (!colours) {
        // Reversed text marks what is chosen when there is nothing else to tell it apart.
        if (s == Style::MenuBarOpen || s == Style::MenuSelected || s == Style::Selected ||
            s == Style::ButtonFocused)
            plain |= A_REVERSE;
        return plain;
    }
    return static_cast<attr_t>(COLOR_PAIR(pairOf(s))) | extra;
}

} // namespace

void Screen::clear() {
    ::werase(stdscr);
}

void Screen::show() {
    ::wrefresh(stdscr);
}

void Screen::placeCursor(int y, int x) {
    ::wmove(stdscr, y, x);
    ::curs_set(1);
}

void Screen::hideCursor() {
    ::curs_set(0);
}

void Screen::beep() {
    ::beep();
}

int Screen::put(int y, int x, std::string_view text, Style style, int width) {
    if (y < 0 || y >= LINES || x < 0 || x >= COLS)
        return 0;
    const std::string shown = fitWidth(printable(text, unicode_), std::min(width, COLS - x), "");
    ::wattrset(stdscr, static_cast<int>(attributesOf(style, colours_)));
    ::mvwaddstr(stdscr, y, x, shown.c_str());
    ::wattrset(stdscr, A_NORMAL);
    return textWidth(shown);
}

int Screen::putCaption(int y, int x, const Caption& caption, Style style, int width) {
    const int drawn = put(y, x, caption.text, style, width);
    if (!caption.accelColumn || *caption.accelColumn >= drawn)
        return drawn;
    // The accelerator is the character at its column in the printable text.
    int column = 0;
    for (char32_t c : decodeUtf8(printable(caption.text, unicode_))) {
        if (column == *caption.accelColumn) {
            ::wattrset(stdscr, static_cast<int>(attributesOf(style, colours_) | A_UNDERLINE));
            ::mvwaddstr(stdscr, y, x + column, encodeUtf8(c).c_str());
            ::wattrset(stdscr, A_NORMAL);
            break;
        }
        column += cellWidth(c);
    }
    return drawn;
}

int Screen::putGlyph(int y, int x, std::string_view text, Colour colour) {
    if (!colours_)
        return put(y, x, text, Style::Normal);
    if (y < 0 || y >= LINES || x < 0 || x >= COLS)
        return 0;
    const std::string shown = fitWidth(printable(text, unicode_), COLS - x, "");
    ::wattrset(stdscr, static_cast<int>(COLOR_PAIR(GlyphPairBase + static_cast<int>(colour))));
    ::mvwaddstr(stdscr, y, x, shown.c_str());
    ::wattrset(stdscr, A_NORMAL);
    return textWidth(shown);
}

void Screen::fill(int y, int x, int width, Style style) {
    if (x < 0) {
        width += x;
        x = 0;
    }
    if (width > 0)
        put(y, x, std::string(static_cast<std::size_t>(width), ' '), style, width);
}

void Screen::frame(int top, int left, int height, int width, Style style) {
    if (height < 2 || width < 2)
        return;
    const std::string_view h = symbol("\u2500", "-"), v = symbol("\u2502", "|");
    std::string topLine(symbol("\u250C", "+")), bottomLine(symbol("\u2514", "+"));
    for (int i = 0; i < width - 2; ++i) {
        topLine += h;
        bottomLine += h;
    }
    topLine += symbol("\u2510", "+");
    bottomLine += symbol("\u2518", "+");
    put(top, left, topLine, style, width);
    for (int row = top + 1; row < top + height - 1; ++row) {
        put(row, left, v, style, 1);
        fill(row, left + 1, width - 2, style);
        put(row, left + width - 1, v, style, 1);
    }
    put(top + height - 1, left, bottomLine, style, width);
}

} // namespace terminal
