#include "app/terminal/Text.h"

#include <cwchar>

namespace terminal {

std::u32string decodeUtf8(std::string_view utf8) {
    std::u32string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        std::size_t length = 0;
        char32_t c = 0;
        char32_t minimum = 0;
        if (b < 0x80) {
            length = 1;
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            length = 2;
            c = b & 0x1F;
            minimum = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            length = 3;
            c = b & 0x0F;
            minimum = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            length = 4;
            c = b & 0x07;
            minimum = 0x10000;
        }
        bool valid = length != 0 && i + length <= utf8.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto cont = static_cast<unsigned char>(utf8[i + k]);
            if ((cont & 0xC0) != 0x80)
                valid = false;
            else
                c = (c << 6) | (cont & 0x3F);
        }
        // Overlong forms and surrogates would let one text pass for another.
        if (valid && (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)))
            valid = false;
        if (!valid) {
            out += U'\uFFFD';
            ++i;
            continue;
        }
        out += c;
        i += length;
    }
    return out;
}

std::string encodeUtf8(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

std::string encodeUtf8(std::u32string_view text) {
    std::string out;
    for (char32_t c : text)
        out += encodeUtf8(c);
    return out;
}

namespace {

bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

// -1 when the locale cannot measure it.
int measured(char32_t c) {
    if (isControl(c))
        return -1;
    if (c < 0x7F)
        return 1;
    return ::wcwidth(static_cast<wchar_t>(c));
}

} // namespace

int cellWidth(char32_t c) {
    const int w = measured(c);
    return w < 0 ? 1 : w;
}

int textWidth(std::string_view utf8) {
    int width = 0;
    for (char32_t c : decodeUtf8(utf8))
        width += cellWidth(c);
    return width;
}

std::string printable(std::string_view utf8, bool unicode) {
    std::u32string out;
    for (char32_t c : decodeUtf8(utf8)) {
        const bool shown = unicode ? measured(c) >= 0 : (c >= 0x20 && c < 0x7F);
        out += shown ? c : U'?';
    }
    // A combining mark with nothing before it would join whatever was drawn to its left.
    if (!out.empty() && measured(out.front()) == 0)
        out.front() = U'?';
    return encodeUtf8(out);
}

std::string fitWidth(std::string_view utf8, int width, std::string_view ellipsis) {
    if (width <= 0)
        return {};
    if (textWidth(utf8) <= width)
        return std::string(utf8);
    const int room = width - textWidth(ellipsis);
    if (room < 0)
        return fitWidth(utf8, width, "");
    std::u32string kept;
    int used = 0;
    for (char32_t c : decodeUtf8(utf8)) {
        const int w = cellWidth(c);
        if (used + w > room)
            break;
        kept += c;
        used += w;
    }
    return encodeUtf8(kept) + std::string(ellipsis);
}

std::string fitWidthKeepingEnd(std::string_view utf8, int width, std::string_view ellipsis) {
    if (width <= 0)
        return {};
    if (textWidth(utf8) <= width)
        return std::string(utf8);
    const int room = width - textWidth(ellipsis);
    if (room < 0)
        return fitWidthKeepingEnd(utf8, width, "");
    const std::u32string chars = decodeUtf8(utf8);
    std::size_t first = chars.size();
    int used = 0;
    while (first > 0 && used + cellWidth(chars[first - 1]) <= room) {
        used += cellWidth(chars[first - 1]);
        --first;
    }
    return std::string(ellipsis) + encodeUtf8(std::u32string_view(chars).substr(first));
}

std::vector<std::string> wrapWords(std::string_view utf8, int width) {
    std::vector<std::string> lines;
    if (width <= 0)
        return lines;
    std::string line;
    int lineWidth = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        while (i < utf8.size() && utf8[i] == ' ')
            ++i;
        const std::size_t end = std::min(utf8.find(' ', i), utf8.size());
        if (end == i)
            break;
        std::string word(utf8.substr(i, end - i));
        i = end;
        int w = textWidth(word);
        if (w > width) {
            word = fitWidth(word, width, "");
            w = textWidth(word);
        }
        if (lineWidth > 0 && lineWidth + 1 + w > width) {
            lines.push_back(line);
            line.clear();
            lineWidth = 0;
        }
        if (lineWidth > 0) {
            line += ' ';
            ++lineWidth;
        }
        line += word;
        lineWidth += w;
    }
    if (!line.empty() || lines.empty())
        lines.push_back(line);
    return lines;
}

char32_t lowerAscii(char32_t c) {
    return c >= U'A' && c <= U'Z' ? c - U'A' + U'a' : c;
}

Caption parseCaption(std::string_view caption) {
    Caption out;
    const std::u32string chars = decodeUtf8(caption);
    std::u32string text;
    int column = 0;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        char32_t c = chars[i];
        if (c == U'&' && i + 1 < chars.size()) {
            c = chars[++i];
            if (c != U'&' && !out.accelColumn) {
                out.accelColumn = column;
                out.accel = lowerAscii(c);
            }
        }
        text += c;
        column += cellWidth(c);
    }
    out.text = encodeUtf8(text);
    return out;
}

} // namespace terminal
