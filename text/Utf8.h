#pragma once

#include <string>
#include <string_view>

// Text as a terminal lays it out, for the window and the command line's columns alike: names come from
// the disk, so nothing here trusts its input to be valid UTF-8.
namespace text {

// A byte that does not start a valid sequence becomes U+FFFD, so a bad name still shows as something.
std::u32string decodeUtf8(std::string_view utf8);
std::string encodeUtf8(std::u32string_view text);
std::string encodeUtf8(char32_t c);

// Columns the character takes in the locale: 0 for a combining mark, 2 for a wide character; -1 for a
// control character or one the locale cannot measure.
int measuredWidth(char32_t c);
// As measuredWidth, with 1 for what it cannot measure (drawn as one "?" where it is made printable).
int cellWidth(char32_t c);
int textWidth(std::string_view utf8);

} // namespace text
