#include "app/terminal/Glyphs.h"

#include "webtree/NodeImages.h"

#include <array>
#include <string>
#include <utility>

namespace terminal {

Glyph glyphFor(std::string_view imageKey) {
    static constexpr std::array<std::pair<std::string_view, Glyph>, 14> Table{{
        {"web", {"\u25C6", "@", Colour::Cyan, "web"}},                 // ◆
        {"closed", {"\u25A0", "#", Colour::Yellow, "folder"}},         // ■
        {"open", {"\u25A1", "O", Colour::Yellow, "open folder"}},      // □
        {"home", {"\u2302", "H", Colour::Green, "home page"}},         // ⌂
        {"page", {"\u2261", "p", Colour::Default, "page"}},            // ≡
        {"gif", {"\u25D0", "g", Colour::Magenta, "GIF image"}},        // ◐
        {"jpg", {"\u25D1", "j", Colour::Magenta, "JPEG image"}},       // ◑
        {"media", {"\u266A", "m", Colour::Blue, "media"}},             // ♪
        {"winmedia", {"\u266B", "w", Colour::Blue, "Windows Media"}},  // ♫
        {"script", {"\u03BB", "s", Colour::Green, "script"}},          // λ
        {"text", {"\u00B6", "t", Colour::Default, "text"}},            // ¶
        {"xml", {"\u00AB", "<", Colour::Cyan, "XML"}},                 // «
        {"config", {"\u00A7", "c", Colour::Yellow, "configuration"}},  // §
        {"unknown", {"\u00BF", "?", Colour::Default, "unknown type"}}, // ¿
    }};
    const std::string base = webtree::stripMarkSuffix(std::string(imageKey));
    for (const auto& [key, glyph] : Table) {
        if (key == base)
            return glyph;
    }
    return Table.back().second;
}

} // namespace terminal
