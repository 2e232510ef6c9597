#include "app/terminal/Menus.h"

#include <algorithm>

namespace terminal {
namespace {

int levelWidth(const std::vector<MenuItem>& items) {
    int w = 8;
    for (const auto& item : items)
        w = std::max(w, textWidth(item.caption.text) + (item.isPopup() ? 2 : 0));
    return w + 4;
}

int firstEnabled(const std::vector<MenuItem>& items) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].enabled)
            return static_cast<int>(i);
    }
    return 0;
}

} // namespace

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

MenuScreen::MenuScreen(Screen& screen, std::function<std::vector<BarMenu>()> bars, std::size_t bar)
    : screen_(screen), bars_(std::move(bars)), bar_(bar) {
    openBar(bar);
}

std::string MenuScreen::hints(const Screen& screen) const {
    return screen.unicode() ? "\u2191\u2193 choose  \u2190\u2192 menus  Enter opens  Esc goes back"
                            : "Up/Down choose  Left/Right menus  Enter opens  Esc goes back";
}

MenuScreen::Level MenuScreen::placed(std::vector<MenuItem> items, int top, int left) const {
    if (items.empty())
        items.push_back({parseCaption("(empty)"), false, HostCommand::None, nullptr});
    Level level;
    level.width = levelWidth(items);
    level.top = std::clamp(top, 1, std::max(1, screen_.rows() - 2 - static_cast<int>(items.size()) - 1));
    level.left = std::clamp(left, 0, std::max(0, screen_.cols() - level.width));
    level.selected = firstEnabled(items);
    level.items = std::move(items);
    return level;
}

bool MenuScreen::openBar(std::size_t index) {
    const auto bars = bars_();
    if (bars.empty())
        return false;
    bar_ = index % bars.size();
    std::vector<MenuItem> items = bars[bar_].hostItems;
    if (bars[bar_].control) {
        for (auto& item : itemsOf(*bars[bar_].control))
            items.push_back(std::move(item));
    }
    levels_.clear();
    levels_.push_back(placed(std::move(items), 1, bars[bar_].x));
    return true;
}

void MenuScreen::openSub() {
    const Level& parent = levels_.back();
    const MenuItem& item = parent.items[static_cast<std::size_t>(parent.selected)];
    Level sub = placed(itemsOf(*item.control), parent.top + parent.selected, parent.left + parent.width);
    if (parent.left + parent.width + sub.width > screen_.cols())
        sub.left = std::max(0, parent.left - sub.width);
    levels_.push_back(std::move(sub));
}

void MenuScreen::move(Level& level, int step) {
    const int n = static_cast<int>(level.items.size());
    for (int k = 1; k <= n; ++k) {
        const int i = ((level.selected + step * k) % n + n) % n;
        if (level.items[static_cast<std::size_t>(i)].enabled) {
            level.selected = i;
            return;
        }
    }
}

bool MenuScreen::choose() {
    Level& level = levels_.back();
    const MenuItem& item = level.items[static_cast<std::size_t>(level.selected)];
    if (!item.enabled)
        return false;
    if (item.isPopup()) {
        openSub();
        return false;
    }
    chosen_ = item;
    return true;
}

bool MenuScreen::draw(Screen& screen) {
    const std::string_view arrow = screen.symbol("\u25B8", ">");
    for (const Level& level : levels_) {
        const int height = static_cast<int>(level.items.size()) + 2;
        screen.frame(level.top, level.left, height, level.width, Style::Menu);
        for (std::size_t i = 0; i < level.items.size(); ++i) {
            const MenuItem& item = level.items[i];
            const int y = level.top + 1 + static_cast<int>(i);
            const Style style = static_cast<int>(i) == level.selected && item.enabled ? Style::MenuSelected
                                : item.enabled                                        ? Style::Menu
                                                                                      : Style::MenuDisabled;
            screen.fill(y, level.left + 1, level.width - 2, style);
            screen.putCaption(y, level.left + 2, item.caption, style, level.width - 4);
            if (item.isPopup())
                screen.put(y, level.left + level.width - 3, arrow, style, 1);
        }
    }
    return true;
}

bool MenuScreen::key(Screen&, const Key& key) {
    if (key.kind == Key::Kind::Resize || key.is(Fn::F10))
        return false;
    Level& level = levels_.back();
    if (key.is(Fn::Escape)) {
        if (levels_.size() == 1)
            return false;
        levels_.pop_back();
    } else if (key.is(Fn::Up)) {
        move(level, -1);
    } else if (key.is(Fn::Down)) {
        move(level, 1);
    } else if (key.is(Fn::Right)) {
        const MenuItem& item = level.items[static_cast<std::size_t>(level.selected)];
        if (item.isPopup() && item.enabled)
            openSub();
        else
            openBar(bar_ + 1);
    } else if (key.is(Fn::Left)) {
        if (levels_.size() > 1)
            levels_.pop_back();
        else
            openBar(bar_ + bars_().size() - 1);
    } else if (key.is(Fn::Enter) || key.is(U' ')) {
        if (choose())
            return false;
    } else if (key.kind == Key::Kind::Char && key.alt) {
        const auto bars = bars_();
        for (std::size_t i = 0; i < bars.size(); ++i) {
            if (bars[i].title.accel != 0 && key.isAlt(bars[i].title.accel))
                openBar(i);
        }
    } else if (key.kind == Key::Kind::Char) {
        const char32_t wanted = lowerAscii(key.ch);
        for (std::size_t i = 0; i < level.items.size(); ++i) {
            if (level.items[i].caption.accel == wanted && level.items[i].enabled) {
                level.selected = static_cast<int>(i);
                if (choose())
                    return false;
                break;
            }
        }
    } else if (key.kind == Key::Kind::Mouse) {
        return mouse(key);
    }
    return true;
}

bool MenuScreen::mouse(const Key& key) {
    if (key.y == 0 && key.mouse == MouseAction::LeftPress) {
        const auto bars = bars_();
        bool onTitle = false;
        for (std::size_t i = 0; i < bars.size(); ++i) {
            if (key.x >= bars[i].x && key.x < bars[i].x + bars[i].width) {
                onTitle = true;
                if (i == bar_)
                    return false;
                openBar(i);
            }
        }
        return onTitle;
    }
    // The deepest menu under the pointer takes the event.
    bool inside = false;
    for (std::size_t d = levels_.size(); d-- > 0;) {
        Level& at = levels_[d];
        const int height = static_cast<int>(at.items.size()) + 2;
        if (key.y < at.top || key.y >= at.top + height || key.x < at.left || key.x >= at.left + at.width)
            continue;
        inside = true;
        const int i = key.y - at.top - 1;
        if (i < 0 || i >= static_cast<int>(at.items.size()) || !at.items[static_cast<std::size_t>(i)].enabled)
            break;
        const bool popup = at.items[static_cast<std::size_t>(i)].isPopup();
        const bool release = key.mouse == MouseAction::LeftRelease || key.mouse == MouseAction::RightRelease;
        // A press opens a popup; its release must leave the menu it opened alone.
        if (popup && release)
            break;
        levels_.resize(d + 1);
        levels_.back().selected = i;
        if (popup && key.mouse == MouseAction::LeftPress)
            openSub();
        else if (!popup && release && choose())
            return false;
        break;
    }
    return inside || (key.mouse != MouseAction::LeftPress && key.mouse != MouseAction::RightPress);
}

} // namespace terminal
