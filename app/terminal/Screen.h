#pragma once

#include "app/terminal/Glyphs.h"
#include "app/terminal/Text.h"

#include <string_view>

struct screen; // curses' SCREEN

// The curses session: the only code that talks to curses, in four files by job: its start and end with
// the colours (Screen.cpp), drawing (ScreenDrawing.cpp), turning input into keys the host understands
// (KeyDecoding.cpp), and restoring the terminal however the program ends (TerminalRestore.cpp: return,
// exception, or a signal; the quit signals end the event loops instead of the process).
namespace terminal {

enum class Fn {
    Up,
    Down,
    Left,
    Right,
    PageUp,
    PageDown,
    Home,
    End,
    Enter,
    Backspace,
    Delete,
    Tab,
    BackTab,
    Escape,
    F1,
    F2,
    F10,
    ShiftF10,
    Menu, // the Menu key
    Other,
};

enum class MouseAction { LeftPress, LeftRelease, RightPress, RightRelease, WheelUp, WheelDown, Other };

struct Key {
    enum class Kind { None, Char, Function, Mouse, Resize };
    Kind kind = Kind::None;
    char32_t ch = 0; // Char: the character; control keys arrive as their control character
    bool alt = false;
    Fn fn = Fn::Other;
    MouseAction mouse = MouseAction::Other;
    int x = 0, y = 0; // Mouse: the cell under the pointer

    bool is(Fn f) const { return kind == Kind::Function && fn == f; }
    bool is(char32_t c) const { return kind == Kind::Char && !alt && ch == c; }
    bool isAlt(char32_t lower) const { return kind == Kind::Char && alt && lowerAscii(ch) == lower; }
};

enum class Style {
    Normal,
    Bold,
    Dim,
    MenuBar,
    MenuBarOpen,
    Menu,
    MenuSelected,
    MenuDisabled,
    Selected,
    SelectedUnfocused,
    Button,
    ButtonFocused,
    Error,
    Note,
    Badge,
    Partly,
    Exclamation,
    Field,
};

// A quit signal (SIGINT, SIGTERM, SIGHUP) arrived: every loop stops waiting and returns.
bool quitRequested();
int quitSignal(); // 0 when none arrived

class Screen {
  public:
    // Starts curses on the terminal. Throws std::runtime_error when the terminal cannot be used.
    Screen();
    ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    bool unicode() const { return unicode_; }
    int rows() const;
    int cols() const;

    // The next key, mouse event or resize; None after a quarter of a second without input, so the
    // loops can notice a quit signal.
    Key read();

    void clear();
    void show();                    // puts what was drawn on the terminal
    void placeCursor(int y, int x); // shows the cursor there (a text field)
    void hideCursor();

    // Draws text at (y, x), made printable and cut to `width` columns (and to the screen); returns the
    // columns drawn.
    int put(int y, int x, std::string_view text, Style style, int width = 1 << 20);
    // As put(), with the caption's accelerator underlined.
    int putCaption(int y, int x, const Caption& caption, Style style, int width = 1 << 20);
    // The glyph's colour on the normal background.
    int putGlyph(int y, int x, std::string_view text, Colour colour);
    void fill(int y, int x, int width, Style style);
    // A frame with its inside cleared; the corners are at (top, left) and (top+height-1, left+width-1).
    void frame(int top, int left, int height, int width, Style style);
    void beep();

    // Single-cell symbols that depend on the terminal.
    std::string_view symbol(std::string_view unicode, std::string_view ascii) const {
        return unicode_ ? unicode : ascii;
    }

  private:
    ::screen* session_ = nullptr;
    bool unicode_ = false;
    bool colours_ = false;
};

} // namespace terminal
