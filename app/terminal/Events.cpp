#include "app/terminal/TerminalHost.h"

namespace terminal {

void TerminalHost::handle(const Key& key) {
    if (key.kind == Key::Kind::Mouse) {
        handleMouse(key);
        return;
    }
    const auto bars = barMenus();
    auto openBar = [&](std::size_t index) {
        if (auto chosen = runMenus(index))
            execute(*chosen);
    };
    if (key.is(Fn::F10)) {
        for (std::size_t i = 0; i < bars.size(); ++i) {
            if (bars[i].title.accel == U't') {
                openBar(i);
                return;
            }
        }
        openBar(0);
        return;
    }
    if (key.kind == Key::Kind::Char && key.alt) {
        for (std::size_t i = 0; i < bars.size(); ++i) {
            if (bars[i].title.accel != 0 && key.isAlt(bars[i].title.accel)) {
                openBar(i);
                return;
            }
        }
        return;
    }
    if (windowUp()) {
        handleWindowKey(key);
        return;
    }
    if (key.is(U'q') || key.is(U'Q'))
        quit_ = true;
}

void TerminalHost::closeWindow() {
    if (window::frmMain* f = form())
        f->cmdClose_Click();
}

void TerminalHost::handleWindowKey(const Key& key) {
    if (key.is(Fn::Escape)) {
        closeWindow();
        return;
    }
    if (key.is(Fn::Tab) || key.is(Fn::BackTab)) {
        focus_ = focus_ == Focus::Tree ? Focus::Close : Focus::Tree;
        return;
    }
    if (focus_ == Focus::Close) {
        if (key.is(Fn::Enter) || key.is(U' '))
            closeWindow();
        return;
    }
    TreeView& view = *view_;
    if (key.is(Fn::Up))
        view.moveBy(-1);
    else if (key.is(Fn::Down))
        view.moveBy(1);
    else if (key.is(Fn::PageUp))
        view.pageUp();
    else if (key.is(Fn::PageDown))
        view.pageDown();
    else if (key.is(Fn::Home))
        view.moveToFirst();
    else if (key.is(Fn::End))
        view.moveToLast();
    else if (key.is(Fn::Right) || key.is(U'+'))
        view.expandOrDescend();
    else if (key.is(Fn::Left) || key.is(U'-'))
        view.collapseOrAscend();
    else if (key.is(Fn::Enter)) {
        if (host::Node* node = form()->tree().selected())
            view.toggle(*node);
    } else if (key.is(Fn::ShiftF10) || key.is(Fn::Menu) || key.is(U'm') || key.is(U'M'))
        contextMenuFromKeyboard();
}

void TerminalHost::contextMenuFromKeyboard() {
    TreeView& view = *view_;
    view.ensureSelection();
    const auto row = view.selectedRow();
    if (!row)
        return;
    // Under the selected row, where its text begins, as the Menu key places a context menu.
    const WindowLayout l = layout();
    const float x = static_cast<float>(l.rowX(view.rows()[*row].depth) - l.treeLeft + 4) * TwipsPerColumn;
    const float y =
        static_cast<float>(static_cast<long>(*row) - static_cast<long>(view.top()) + 1) * TwipsPerRow;
    form()->tvwWeb_MouseUp(RightButton, 0, x, y);
}

void TerminalHost::handleMouse(const Key& key) {
    if (key.y == 0) {
        if (key.mouse != MouseAction::LeftPress)
            return;
        const auto bars = barMenus();
        for (std::size_t i = 0; i < bars.size(); ++i) {
            if (key.x >= bars[i].x && key.x < bars[i].x + bars[i].width) {
                if (auto chosen = runMenus(i))
                    execute(*chosen);
                return;
            }
        }
        return;
    }
    if (windowUp()) {
        const WindowLayout l = layout();
        if (l.fits)
            handleWindowMouse(key, l);
    }
}

void TerminalHost::handleWindowMouse(const Key& key, const WindowLayout& l) {
    TreeView& view = *view_;
    if (key.mouse == MouseAction::LeftPress) {
        if (key.y == l.closeY && key.x >= l.closeX && key.x < l.closeX + l.closeWidth) {
            closeWindow();
            return;
        }
        if (key.y == l.top && key.x >= l.closeBoxX && key.x < l.closeBoxX + 3) {
            closeWindow();
            return;
        }
    }
    const bool overTree = key.y >= l.treeTop && key.y < l.treeTop + l.treeRows && key.x >= l.treeLeft &&
                          key.x < l.treeLeft + l.treeColumns;
    if (!overTree)
        return;
    if (key.mouse == MouseAction::WheelUp || key.mouse == MouseAction::WheelDown) {
        view.scrollBy(key.mouse == MouseAction::WheelUp ? -3 : 3);
        return;
    }
    view.update();
    const std::size_t index = view.top() + static_cast<std::size_t>(key.y - l.treeTop);
    const TreeRow* row = index < view.rows().size() ? &view.rows()[index] : nullptr;
    if (key.mouse == MouseAction::LeftPress) {
        focus_ = Focus::Tree;
        if (row == nullptr)
            return;
        if (key.x == l.rowX(row->depth) && row->node->childCount() > 0)
            view.toggle(*row->node);
        else
            view.selectRow(index);
        return;
    }
    if (key.mouse == MouseAction::RightRelease) {
        focus_ = Focus::Tree;
        if (row != nullptr)
            view.selectRow(index);
        const float x = static_cast<float>(key.x - l.treeLeft) * TwipsPerColumn;
        const float y = static_cast<float>(key.y - l.treeTop) * TwipsPerRow;
        form()->tvwWeb_MouseUp(RightButton, 0, x, y);
    }
}

} // namespace terminal
