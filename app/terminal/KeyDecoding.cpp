// Input from curses as the host's keys: function keys, Alt+letter, mouse events, resizes, and the end of
// input when the terminal goes away.
#include "app/terminal/Curses.h"
#include "app/terminal/TerminalRestore.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace terminal {
namespace {

// Input said to be ready that reads as nothing is the end of it; a byte read here goes back to curses.
bool endOfInput() {
    const int flags = ::fcntl(STDIN_FILENO, F_GETFL);
    ::fcntl(STDIN_FILENO, F_SETFL, flags | O_NONBLOCK);
    unsigned char byte = 0;
    const ssize_t n = ::read(STDIN_FILENO, &byte, 1);
    const bool failed = n < 0 && errno != EAGAIN && errno != EINTR;
    ::fcntl(STDIN_FILENO, F_SETFL, flags);
    if (n == 1)
        ::ungetch(byte);
    return n == 0 || failed;
}

} // namespace

Key Screen::read() {
    Key key;
    wint_t c = 0;
    const int got = ::wget_wch(stdscr, &c);
    if (got == ERR) {
        // A timeout, or a terminal that is gone: then every read fails at once, and the loops would
        // spin forever on a screen nobody sees.
        pollfd input{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&input, 1, 0);
        if ((ready < 0 && errno != EINTR) || (input.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 ||
            ((input.revents & POLLIN) != 0 && endOfInput()))
            restore::inputGone();
        return key;
    }
    if (got == KEY_CODE_YES) {
        key.kind = Key::Kind::Function;
        switch (static_cast<int>(c)) {
        case KEY_RESIZE:
            key.kind = Key::Kind::Resize;
            return key;
        case KEY_MOUSE: {
            MEVENT event{};
            if (::getmouse(&event) != OK) {
                key.kind = Key::Kind::None;
                return key;
            }
            key.kind = Key::Kind::Mouse;
            key.x = event.x;
            key.y = event.y;
            const mmask_t b = event.bstate;
            if (b & (BUTTON1_PRESSED | BUTTON1_CLICKED))
                key.mouse = MouseAction::LeftPress;
            else if (b & BUTTON1_RELEASED)
                key.mouse = MouseAction::LeftRelease;
            else if (b & BUTTON3_PRESSED)
                key.mouse = MouseAction::RightPress;
            else if (b & (BUTTON3_RELEASED | BUTTON3_CLICKED))
                key.mouse = MouseAction::RightRelease;
            else if (b & BUTTON4_PRESSED)
                key.mouse = MouseAction::WheelUp;
            else if (b & BUTTON5_PRESSED)
                key.mouse = MouseAction::WheelDown;
            return key;
        }
        case KEY_UP:
            key.fn = Fn::Up;
            break;
        case KEY_DOWN:
            key.fn = Fn::Down;
            break;
        case KEY_LEFT:
            key.fn = Fn::Left;
            break;
        case KEY_RIGHT:
            key.fn = Fn::Right;
            break;
        case KEY_PPAGE:
            key.fn = Fn::PageUp;
            break;
        case KEY_NPAGE:
            key.fn = Fn::PageDown;
            break;
        case KEY_HOME:
            key.fn = Fn::Home;
            break;
        case KEY_END:
            key.fn = Fn::End;
            break;
        case KEY_ENTER:
            key.fn = Fn::Enter;
            break;
        case KEY_BACKSPACE:
            key.fn = Fn::Backspace;
            break;
        case KEY_DC:
            key.fn = Fn::Delete;
            break;
        case KEY_BTAB:
            key.fn = Fn::BackTab;
            break;
        case KEY_F(1):
            key.fn = Fn::F1;
            break;
        case KEY_F(2):
            key.fn = Fn::F2;
            break;
        case KEY_F(10):
            key.fn = Fn::F10;
            break;
        case KEY_F(22): // Shift+F10 on xterm-like terminals
            key.fn = Fn::ShiftF10;
            break;
        case MenuKeyCode:
            key.fn = Fn::Menu;
            break;
        default:
            key.fn = Fn::Other;
            break;
        }
        return key;
    }
    switch (c) {
    case L'\r':
    case L'\n':
        key.kind = Key::Kind::Function;
        key.fn = Fn::Enter;
        return key;
    case L'\t':
        key.kind = Key::Kind::Function;
        key.fn = Fn::Tab;
        return key;
    case 0x7F:
    case 0x08:
        key.kind = Key::Kind::Function;
        key.fn = Fn::Backspace;
        return key;
    case 0x1B: {
        // Alt+letter comes as Escape followed at once by the letter.
        ::wtimeout(stdscr, 0);
        wint_t next = 0;
        const int more = ::wget_wch(stdscr, &next);
        ::wtimeout(stdscr, 250);
        if (more == OK && next >= 0x20 && next != 0x7F) {
            key.kind = Key::Kind::Char;
            key.ch = static_cast<char32_t>(next);
            key.alt = true;
            return key;
        }
        if (more == OK)
            ::unget_wch(static_cast<wchar_t>(next));
        else if (more == KEY_CODE_YES && next != KEY_MOUSE)
            ::ungetch(static_cast<int>(next));
        key.kind = Key::Kind::Function;
        key.fn = Fn::Escape;
        return key;
    }
    default:
        key.kind = Key::Kind::Char;
        key.ch = static_cast<char32_t>(c);
        return key;
    }
}

} // namespace terminal
