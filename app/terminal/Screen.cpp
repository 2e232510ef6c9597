// Only this file includes curses: its macros would collide with ordinary member names elsewhere.
#define NCURSES_NOMACROS 1
#include "app/terminal/Screen.h"

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>
#include <curses.h>
#include <exception>
#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace terminal {
namespace {

volatile std::sig_atomic_t signalled = 0;
// The terminal went away (its window closed, its tmux server killed) without a signal reaching us.
bool inputGone = false;

extern "C" void onQuitSignal(int sig) {
    signalled = sig;
}

constexpr int QuitSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previousActions[3];

void installQuitHandlers() {
    for (std::size_t i = 0; i < std::size(QuitSignals); ++i) {
        struct sigaction action {};
        action.sa_handler = onQuitSignal;
        sigemptyset(&action.sa_mask);
        // No SA_RESTART: a signal interrupts the wait for input, so the loop sees it at once.
        action.sa_flags = 0;
        sigaction(QuitSignals[i], &action, &previousActions[i]);
    }
}

void restoreQuitHandlers() {
    for (std::size_t i = 0; i < std::size(QuitSignals); ++i)
        sigaction(QuitSignals[i], &previousActions[i], nullptr);
}

// Every other signal whose default action ends the program: the terminal is put back as it was found,
// then the signal is raised again with its default action, so the exit status and any core dump are
// the signal's own. Only what is async-signal-safe runs here: a prepared write and tcsetattr.
constexpr int FatalSignals[] = {
    SIGQUIT,   SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,  SIGUSR1, SIGSEGV, SIGUSR2,
    SIGPIPE,   SIGALRM, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO,   SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};
struct sigaction previousFatalActions[std::size(FatalSignals)];
bool fatalHandlerInstalled[std::size(FatalSignals)];

int terminalFd = -1;
struct termios terminalModes {};
bool haveTerminalModes = false;
char resetSequence[512];
std::size_t resetLength = 0;
// A handler for a stack that overflowed needs a stack of its own.
alignas(16) char alternateStack[64 * 1024];

extern "C" void onFatalSignal(int sig) {
    if (resetLength > 0) {
        std::size_t done = 0;
        while (done < resetLength) {
            const ssize_t n = ::write(terminalFd, resetSequence + done, resetLength - done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
    }
    if (haveTerminalModes)
        ::tcsetattr(terminalFd, TCSANOW, &terminalModes);
    // SA_RESETHAND has put the default action back, and SA_NODEFER lets it act at once.
    ::raise(sig);
}

void appendReset(const char* capability) {
    const char* value = ::tigetstr(const_cast<char*>(capability));
    if (value == nullptr || value == reinterpret_cast<const char*>(-1))
        return;
    const std::size_t n = std::strlen(value);
    if (resetLength + n > sizeof resetSequence)
        return;
    std::memcpy(resetSequence + resetLength, value, n);
    resetLength += n;
}

// What endwin() would send, prepared while curses may still be asked: mouse reports off, keypad and
// cursor back to normal, attributes off, the main screen again.
void prepareReset() {
    resetLength = 0;
    const char* mouse = ::tigetstr(const_cast<char*>("kmous"));
    if (mouse != nullptr && mouse != reinterpret_cast<const char*>(-1) && mouse[0] == '\x1b' &&
        mouse[1] == '[') {
        const std::string off = "\x1b[?1006l\x1b[?1003l\x1b[?1002l\x1b[?1000l";
        std::memcpy(resetSequence, off.data(), off.size());
        resetLength = off.size();
    }
    for (const char* capability : {"sgr0", "rmkx", "cnorm", "rmcup"})
        appendReset(capability);
}

void installFatalHandlers() {
    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    ::sigaltstack(&stack, nullptr);
    for (std::size_t i = 0; i < std::size(FatalSignals); ++i) {
        fatalHandlerInstalled[i] = false;
        if (sigaction(FatalSignals[i], nullptr, &previousFatalActions[i]) != 0)
            continue;
        // Whoever started us chose to ignore it (nohup, a shell's trap ''): so do we.
        if (previousFatalActions[i].sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = onFatalSignal;
        sigfillset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND | SA_NODEFER | SA_ONSTACK;
        fatalHandlerInstalled[i] = sigaction(FatalSignals[i], &action, nullptr) == 0;
    }
}

void restoreFatalHandlers() {
    for (std::size_t i = 0; i < std::size(FatalSignals); ++i)
        if (fatalHandlerInstalled[i])
            sigaction(FatalSignals[i], &previousFatalActions[i], nullptr);
}

std::terminate_handler previousTerminate = nullptr;
bool cursesActive = false;

// An exception that nothing catches must not leave the terminal raw and invisible.
[[noreturn]] void restoreThenTerminate() {
    if (cursesActive) {
        ::endwin();
        cursesActive = false;
    }
    if (previousTerminate != nullptr)
        previousTerminate();
    std::abort();
}

constexpr short pairOf(Style s) {
    return static_cast<short>(static_cast<int>(s) + 1);
}
constexpr short GlyphPairBase = 40;

constexpr int MenuKeyCode = KEY_F(63); // xterm's Menu key, which terminfo does not name

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

// Ctrl+Z is the window's undo, as in editors, rather than the shell's suspend. The terminal's own settings
// come back with the rest when curses ends, since it saved them before this change.
void keepSuspendKeyForUndo() {
    termios modes{};
    if (::tcgetattr(STDIN_FILENO, &modes) != 0)
        return;
    modes.c_cc[VSUSP] = _POSIX_VDISABLE;
    if (::tcsetattr(STDIN_FILENO, TCSANOW, &modes) == 0)
        ::def_prog_mode();
}

} // namespace

bool quitRequested() {
    return signalled != 0 || inputGone;
}

int quitSignal() {
    return static_cast<int>(signalled);
}

Screen::Screen() {
    std::setlocale(LC_ALL, "");
    unicode_ = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    installQuitHandlers();
    // The modes the terminal had before curses changed them, for a signal that ends us at any moment.
    terminalFd = ::isatty(STDOUT_FILENO) ? STDOUT_FILENO : STDIN_FILENO;
    haveTerminalModes = ::tcgetattr(terminalFd, &terminalModes) == 0;
    session_ = ::newterm(nullptr, stdout, stdin);
    if (session_ == nullptr) {
        restoreQuitHandlers();
        throw std::runtime_error("cannot start the terminal window on this terminal (TERM=" +
                                 std::string(std::getenv("TERM") ? std::getenv("TERM") : "") + ")");
    }
    cursesActive = true;
    previousTerminate = std::set_terminate(restoreThenTerminate);
    ::cbreak();
    keepSuspendKeyForUndo();
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
    prepareReset();
    installFatalHandlers();

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
    cursesActive = false;
    std::set_terminate(previousTerminate);
    restoreQuitHandlers();
    restoreFatalHandlers();
}

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

int Screen::rows() const {
    return LINES;
}

int Screen::cols() const {
    return COLS;
}

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
            inputGone = true;
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
