#include "app/terminal/TerminalHost.h"
#include "app/terminal/Text.h"

namespace terminal {
namespace {

std::vector<MenuItem> itemsOf(const MemoryControl& popup) {
    std::vector<MenuItem> items;
    for (const auto& child : popup.children) {
        if (child->deleted)
            continue;
        MenuItem item;
        item.caption = parseCaption(child->caption);
        item.control = child;
        items.push_back(std::move(item));
    }
    return items;
}

} // namespace

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

std::optional<MenuItem> TerminalHost::runMenus(std::size_t barIndex) {
    struct Level {
        std::vector<MenuItem> items;
        int selected = 0;
        int top = 1, left = 0, width = 0;
    };
    const std::string_view arrow = screen_.symbol("\u25B8", ">");
    auto levelWidth = [&](const std::vector<MenuItem>& items) {
        int w = 8;
        for (const auto& item : items)
            w = std::max(w, textWidth(item.caption.text) + (item.isPopup() ? 2 : 0));
        return w + 4;
    };
    auto firstEnabled = [](const std::vector<MenuItem>& items) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i].enabled)
                return static_cast<int>(i);
        }
        return 0;
    };
    auto placed = [&](std::vector<MenuItem> items, int top, int left) {
        if (items.empty())
            items.push_back({parseCaption("(empty)"), false, HostCommand::None, nullptr});
        Level level;
        level.width = levelWidth(items);
        level.top = std::clamp(top, 1, std::max(1, screen_.rows() - 2 - static_cast<int>(items.size()) - 1));
        level.left = std::clamp(left, 0, std::max(0, screen_.cols() - level.width));
        level.selected = firstEnabled(items);
        level.items = std::move(items);
        return level;
    };

    std::vector<Level> levels;
    auto openBar = [&](std::size_t index) {
        const auto bars = barMenus();
        if (bars.empty())
            return false;
        barIndex = index % bars.size();
        std::vector<MenuItem> items = bars[barIndex].hostItems;
        if (bars[barIndex].control) {
            for (auto& item : itemsOf(*bars[barIndex].control))
                items.push_back(std::move(item));
        }
        levels.clear();
        levels.push_back(placed(std::move(items), 1, bars[barIndex].x));
        return true;
    };
    auto openSub = [&] {
        const Level& parent = levels.back();
        const MenuItem& item = parent.items[static_cast<std::size_t>(parent.selected)];
        Level sub = placed(itemsOf(*item.control), parent.top + parent.selected, parent.left + parent.width);
        if (parent.left + parent.width + sub.width > screen_.cols())
            sub.left = std::max(0, parent.left - sub.width);
        levels.push_back(std::move(sub));
    };
    auto move = [&](Level& level, int step) {
        const int n = static_cast<int>(level.items.size());
        for (int k = 1; k <= n; ++k) {
            const int i = ((level.selected + step * k) % n + n) % n;
            if (level.items[static_cast<std::size_t>(i)].enabled) {
                level.selected = i;
                return;
            }
        }
    };
    // Enter on an item: a popup opens, a command is the menu's result.
    auto choose = [&](std::optional<MenuItem>& result) {
        Level& level = levels.back();
        const MenuItem& item = level.items[static_cast<std::size_t>(level.selected)];
        if (!item.enabled)
            return false;
        if (item.isPopup()) {
            openSub();
            return false;
        }
        result = item;
        return true;
    };

    if (!openBar(barIndex))
        return std::nullopt;
    const HintsScope hints(
        modalHints_, screen_.unicode() ? "\u2191\u2193 choose  \u2190\u2192 menus  Enter opens  Esc goes back"
                                       : "Up/Down choose  Left/Right menus  Enter opens  Esc goes back");
    while (!quitRequested()) {
        draw(barIndex);
        for (const Level& level : levels) {
            const int height = static_cast<int>(level.items.size()) + 2;
            screen_.frame(level.top, level.left, height, level.width, Style::Menu);
            for (std::size_t i = 0; i < level.items.size(); ++i) {
                const MenuItem& item = level.items[i];
                const int y = level.top + 1 + static_cast<int>(i);
                const Style style = static_cast<int>(i) == level.selected && item.enabled
                                        ? Style::MenuSelected
                                    : item.enabled ? Style::Menu
                                                   : Style::MenuDisabled;
                screen_.fill(y, level.left + 1, level.width - 2, style);
                screen_.putCaption(y, level.left + 2, item.caption, style, level.width - 4);
                if (item.isPopup())
                    screen_.put(y, level.left + level.width - 3, arrow, style, 1);
            }
        }
        screen_.show();

        const Key key = screen_.read();
        if (key.kind == Key::Kind::None)
            continue;
        if (key.kind == Key::Kind::Resize || key.is(Fn::F10))
            return std::nullopt;
        Level& level = levels.back();
        std::optional<MenuItem> result;
        if (key.is(Fn::Escape)) {
            if (levels.size() == 1)
                return std::nullopt;
            levels.pop_back();
        } else if (key.is(Fn::Up)) {
            move(level, -1);
        } else if (key.is(Fn::Down)) {
            move(level, 1);
        } else if (key.is(Fn::Right)) {
            const MenuItem& item = level.items[static_cast<std::size_t>(level.selected)];
            if (item.isPopup() && item.enabled)
                openSub();
            else
                openBar(barIndex + 1);
        } else if (key.is(Fn::Left)) {
            if (levels.size() > 1)
                levels.pop_back();
            else
                openBar(barIndex + barMenus().size() - 1);
        } else if (key.is(Fn::Enter) || key.is(U' ')) {
            if (choose(result))
                return result;
        } else if (key.kind == Key::Kind::Char && key.alt) {
            const auto bars = barMenus();
            for (std::size_t i = 0; i < bars.size(); ++i) {
                if (bars[i].title.accel != 0 && key.isAlt(bars[i].title.accel))
                    openBar(i);
            }
        } else if (key.kind == Key::Kind::Char) {
            const char32_t wanted = lowerAscii(key.ch);
            for (std::size_t i = 0; i < level.items.size(); ++i) {
                if (level.items[i].caption.accel == wanted && level.items[i].enabled) {
                    level.selected = static_cast<int>(i);
                    if (choose(result))
                        return result;
                    break;
                }
            }
        } else if (key.kind == Key::Kind::Mouse) {
            if (key.y == 0 && key.mouse == MouseAction::LeftPress) {
                const auto bars = barMenus();
                bool onTitle = false;
                for (std::size_t i = 0; i < bars.size(); ++i) {
                    if (key.x >= bars[i].x && key.x < bars[i].x + bars[i].width) {
                        onTitle = true;
                        if (i == barIndex)
                            return std::nullopt;
                        openBar(i);
                    }
                }
                if (!onTitle)
                    return std::nullopt;
                continue;
            }
            // The deepest menu under the pointer takes the event.
            bool inside = false;
            for (std::size_t d = levels.size(); d-- > 0;) {
                Level& at = levels[d];
                const int height = static_cast<int>(at.items.size()) + 2;
                if (key.y < at.top || key.y >= at.top + height || key.x < at.left ||
                    key.x >= at.left + at.width)
                    continue;
                inside = true;
                const int i = key.y - at.top - 1;
                if (i < 0 || i >= static_cast<int>(at.items.size()) ||
                    !at.items[static_cast<std::size_t>(i)].enabled)
                    break;
                const bool popup = at.items[static_cast<std::size_t>(i)].isPopup();
                const bool release =
                    key.mouse == MouseAction::LeftRelease || key.mouse == MouseAction::RightRelease;
                // A press opens a popup; its release must leave the menu it opened alone.
                if (popup && release)
                    break;
                levels.resize(d + 1);
                levels.back().selected = i;
                if (popup && key.mouse == MouseAction::LeftPress)
                    openSub();
                else if (!popup && release && choose(result))
                    return result;
                break;
            }
            if (!inside && (key.mouse == MouseAction::LeftPress || key.mouse == MouseAction::RightPress))
                return std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace terminal
