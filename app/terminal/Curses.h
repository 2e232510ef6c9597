#pragma once

// Only the screen's own files include this: curses' macros would collide with ordinary member names
// elsewhere, and even with them off, its names stay out of the rest of the terminal host.
#define NCURSES_NOMACROS 1
#include "app/terminal/Screen.h"

#include <curses.h>

namespace terminal {

// The colour pair of each style, and of each glyph colour from GlyphPairBase on.
constexpr short pairOf(Style s) {
    return static_cast<short>(static_cast<int>(s) + 1);
}
constexpr short GlyphPairBase = 40;

constexpr int MenuKeyCode = KEY_F(63); // xterm's Menu key, which terminfo does not name

} // namespace terminal
