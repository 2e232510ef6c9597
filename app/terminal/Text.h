#pragma once

#include "text/Utf8.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Text as the terminal shows it: names come from the disk and captions from whoever filled the menus, so
// nothing here trusts its input to be valid UTF-8, printable or short enough.
namespace terminal {

// The measures of text every part of the program shares.
using text::cellWidth;
using text::decodeUtf8;
using text::encodeUtf8;
using text::measuredWidth;
using text::textWidth;

// What a terminal cell can show: control characters and unmeasurable ones become "?", and without a
// UTF-8 terminal everything outside ASCII does too.
std::string printable(std::string_view utf8, bool unicode);

// The text cut to at most `width` columns, ending in `ellipsis` when it had to be cut.
std::string fitWidth(std::string_view utf8, int width, std::string_view ellipsis);

// As fitWidth, but a cut text keeps its end and starts with the ellipsis.
std::string fitWidthKeepingEnd(std::string_view utf8, int width, std::string_view ellipsis);

// The text broken between words into lines of at most `width` columns; a word longer than a line is cut.
std::vector<std::string> wrapWords(std::string_view utf8, int width);

// A menu caption: "&" marks the next letter as the accelerator, "&&" is a literal "&".
struct Caption {
    std::string text;
    std::optional<int> accelColumn; // columns before the accelerator
    char32_t accel = 0;             // lower case, 0 when there is none
};
Caption parseCaption(std::string_view caption);

char32_t lowerAscii(char32_t c);

// A file name's extension as the host reads it (after the last "."), in ASCII lower case; empty when it
// has none.
std::string extensionOf(std::string_view name);

} // namespace terminal
