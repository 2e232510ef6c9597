// The curses session's start and end: the terminal's modes, the keys curses is taught, and the colours.
#include "app/terminal/Curses.h"
#include "app/terminal/TerminalRestore.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace terminal {
namespace {

short curseColour(Colour c) {
    switch (c) {
    case Colour::Red:
        return COLOR_RED;
    case Colour::Green:
        return COLOR_GREEN;
    case Colour::Yellow:
        return COLOR_YELLOW;
    case Colour::Blue:
        return COLOR_BLUE;
    case Colour::Magenta:
        return COLOR_MAGENTA;
    case Colour::Cyan:
        return COLOR_CYAN;
    case Colour::Default:
        break;
    }
    return -1;
}

// Ctrl+Z is the window's undo, as in editors, rather than the shell's suspend, and Ctrl+S its jump to a
// name rather than the terminal's pause of output. The terminal's own settings come back with the rest
// when curses ends, since it saved them before this change.
void keepControlKeysForTheWindow() {
    termios modes{};
    if (::tcgetattr(STDIN_FILENO, &modes) != 0)
        return;
    modes.c_cc[VSUSP] = _POSIX_VDISABLE;
    modes.c_iflag &= ~static_cast<tcflag_t>(IXON);
    if (::tcsetattr(STDIN_FILENO, TCSANOW, &modes) == 0)
        ::def_prog_mode();
}

} // namespace

Screen::Screen() {
    std::setlocale(LC_ALL, "");
    unicode_ = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    restore::beforeCurses();
    session_ = ::newterm(nullptr, stdout, stdin);
    if (session_ == nullptr) {
        restore::cursesEnded();
        throw std::runtime_error("cannot start the terminal window on this terminal (TERM=" +
                                 std::string(std::getenv("TERM") ? std::getenv("TERM") : "") + ")");
    }
    ::cbreak();
    keepControlKeysForTheWindow();
    ::noecho();
    ::nonl();
    ::keypad(stdscr, TRUE);
    ::set_escdelay(25);
    ::wtimeout(stdscr, 250);
    ::curs_set(0);
    ::define_key("\x1b[29~", MenuKeyCode);
    // Home and End as terminals other than the one TERM names send them (tmux, screen, rxvt, the
    // console), so a mismatched TERM still leaves them working.
    for (const char* home : {"\x1b[1~", "\x1b[7~", "\x1b[H", "\x1bOH"})
        ::define_key(home, KEY_HOME);
    for (const char* end : {"\x1b[4~", "\x1b[8~", "\x1b[F", "\x1bOF"})
        ::define_key(end, KEY_END);
    ::mousemask(BUTTON1_PRESSED | BUTTON1_RELEASED | BUTTON1_CLICKED | BUTTON3_PRESSED | BUTTON3_RELEASED |
                    BUTTON3_CLICKED | BUTTON4_PRESSED | BUTTON5_PRESSED,
                nullptr);
    // Press and release come as they happen; the host decides what makes a click.
    ::mouseinterval(0);
    restore::cursesStarted();

    colours_ = ::has_colors() && ::start_color() == OK && COLORS >= 8;
    if (colours_) {
        const bool defaults = ::use_default_colors() == OK;
        const short fg = defaults ? -1 : COLOR_WHITE;
        const short bg = defaults ? -1 : COLOR_BLACK;
        auto pair = [](Style s, short f, short b) { ::init_pair(pairOf(s), f, b); };
        pair(Style::Normal, fg, bg);
        pair(Style::Bold, fg, bg);
        pair(Style::Dim, fg, bg);
        pair(Style::MenuBar, COLOR_BLACK, COLOR_CYAN);
        pair(Style::MenuBarOpen, COLOR_WHITE, COLOR_BLUE);
        pair(Style::Menu, COLOR_BLACK, COLOR_WHITE);
        pair(Style::MenuSelected, COLOR_WHITE, COLOR_BLUE);
        pair(Style::MenuDisabled, COLOR_BLACK, COLOR_WHITE);
        pair(Style::Selected, COLOR_WHITE, COLOR_BLUE);
        pair(Style::SelectedUnfocused, COLOR_BLACK, COLOR_WHITE);
        pair(Style::Button, fg, bg);
        pair(Style::ButtonFocused, COLOR_WHITE, COLOR_BLUE);
        pair(Style::Error, COLOR_WHITE, COLOR_RED);
        pair(Style::Note, COLOR_YELLOW, bg);
        pair(Style::Badge, COLOR_RED, bg);
        pair(Style::Partly, COLOR_YELLOW, bg);
        pair(Style::Exclamation, COLOR_YELLOW, bg);
        pair(Style::Field, COLOR_BLACK, COLOR_WHITE);
        for (Colour c : {Colour::Default, Colour::Red, Colour::Green, Colour::Yellow, Colour::Blue,
                         Colour::Magenta, Colour::Cyan}) {
            const short colour = curseColour(c);
            ::init_pair(static_cast<short>(GlyphPairBase + static_cast<int>(c)), colour < 0 ? fg : colour,
                        bg);
        }
    }
}

Screen::~Screen() {
    ::mousemask(0, nullptr);
    ::endwin();
    ::delscreen(session_);
    restore::cursesEnded();
}

int Screen::rows() const {
    return LINES;
}

int Screen::cols() const {
    return COLS;
}

} // namespace terminal
