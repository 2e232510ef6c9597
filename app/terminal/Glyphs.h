#pragma once

#include <string_view>

// How the tree shows each image of the window's image list on a character terminal: one cell per image,
// so the names line up, with a colour to tell the kinds apart at a glance and a plain ASCII letter for
// terminals without UTF-8.
namespace terminal {

enum class Colour { Default, Red, Green, Yellow, Blue, Magenta, Cyan };

struct Glyph {
    std::string_view unicode;
    std::string_view ascii;
    Colour colour;
    std::string_view kind; // in words, for the status line
};

// The glyph of an image key; the mark suffix is ignored (the badge shows it), an unknown key shows
// as "unknown".
Glyph glyphFor(std::string_view imageKey);

// The badge drawn after the glyph of a node marked "Don't Publish".
inline constexpr std::string_view MarkBadge = "\u2717"; // ✗
inline constexpr std::string_view MarkBadgeAscii = "x";
// The sign of a folder shown published that holds items left out; plain ASCII, so every terminal shows it.
inline constexpr std::string_view PartlyBadge = "~";
// After the name of an item left out that a published page links to: that link breaks on the server.
inline constexpr std::string_view LinkBadge = "!";

} // namespace terminal
