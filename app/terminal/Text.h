#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Text as the terminal shows it: names come from the disk and captions from whoever filled the menus, so
// nothing here trusts its input to be valid UTF-8, printable or short enough.
namespace terminal {

// A byte that does not start a valid sequence becomes U+FFFD, so a bad name still shows as something.
std::u32string decodeUtf8(std::string_view utf8);
std::string encodeUtf8(std::u32string_view text);
std::string encodeUtf8(char32_t c);

// Columns the character takes: 0 for a combining mark, 2 for a wide character, and 1 for anything the
// locale cannot measure (it is drawn as "?" by printable()).
int cellWidth(char32_t c);
int textWidth(std::string_view utf8);

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

} // namespace terminal
