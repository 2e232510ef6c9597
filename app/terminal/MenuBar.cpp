#include "app/terminal/TerminalHost.h"
#include "app/terminal/Text.h"

namespace terminal {
std::vector<BarMenu> TerminalHost::barMenus() {
    std::vector<BarMenu> out;
    auto bar = state_.bars().bar("Menu Bar");
    std::vector<std::shared_ptr<MemoryControl>> popups;
    if (bar) {
        for (const auto& c : bar->children) {
            if (!c->deleted && c->type == host::control_type::Popup)
                popups.push_back(c);
        }
    }
    auto isNamed = [](const MemoryControl& c, std::string_view name) {
        const std::u32string text = decodeUtf8(parseCaption(c.caption).text);
        const std::u32string wanted = decodeUtf8(name);
        return std::equal(text.begin(), text.end(), wanted.begin(), wanted.end(),
                          [](char32_t a, char32_t b) { return lowerAscii(a) == lowerAscii(b); });
    };
    bool haveFile = false;
    for (const auto& c : popups) {
        const bool file = isNamed(*c, "File");
        const bool tools = isNamed(*c, "Tools");
        // The editor's empty menus (Edit, View) have nothing to offer here.
        if (!file && !tools && itemsOf(*c).empty())
            continue;
        BarMenu menu;
        menu.title = parseCaption(c->caption);
        menu.control = c;
        if (file) {
            haveFile = true;
            const bool open = state_.web() != nullptr;
            menu.hostItems = {{parseCaption("&Open Web..."), true, HostCommand::OpenWeb, nullptr},
                              {parseCaption("&Close Web"), open, HostCommand::CloseWeb, nullptr},
                              {parseCaption("E&xit"), true, HostCommand::Exit, nullptr}};
        }
        out.push_back(std::move(menu));
    }
    if (!haveFile) {
        BarMenu file;
        file.title = parseCaption("&File");
        file.hostItems = {
            {parseCaption("&Open Web..."), true, HostCommand::OpenWeb, nullptr},
            {parseCaption("&Close Web"), state_.web() != nullptr, HostCommand::CloseWeb, nullptr},
            {parseCaption("E&xit"), true, HostCommand::Exit, nullptr}};
        out.insert(out.begin(), std::move(file));
    }
    int x = 1;
    for (auto& m : out) {
        m.x = x;
        m.width = textWidth(m.title.text) + 2;
        x += m.width;
    }
    return out;
}

void TerminalHost::drawMenuBar(const std::vector<BarMenu>& bars, std::optional<std::size_t> open) {
    screen_.fill(0, 0, screen_.cols(), Style::MenuBar);
    for (std::size_t i = 0; i < bars.size(); ++i) {
        const Style style = open == i ? Style::MenuBarOpen : Style::MenuBar;
        screen_.fill(0, bars[i].x, bars[i].width, style);
        screen_.putCaption(0, bars[i].x + 1, bars[i].title, style);
    }
}

std::optional<MenuItem> TerminalHost::runMenus(std::size_t bar) {
    MenuScreen menus(
        screen_, [this] { return barMenus(); }, bar);
    if (!menus.opened() || !runModal(menus))
        return std::nullopt;
    return menus.chosen();
}

} // namespace terminal
