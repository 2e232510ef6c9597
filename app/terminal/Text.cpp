#include "app/terminal/Text.h"

namespace terminal {

std::string printable(std::string_view utf8, bool unicode) {
    std::u32string out;
    for (char32_t c : decodeUtf8(utf8)) {
        const bool shown = unicode ? measuredWidth(c) >= 0 : (c >= 0x20 && c < 0x7F);
        out += shown ? c : U'?';
    }
    // A combining mark with nothing before it would join whatever was drawn to its left.
    if (!out.empty() && measuredWidth(out.front()) == 0)
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

std::string extensionOf(std::string_view name) {
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot + 1 == name.size())
        return {};
    std::string out(name.substr(dot + 1));
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

} // namespace terminal
