#include "app/terminal/TerminalHost.h"
#include "app/terminal/Text.h"
#include "app/terminal/TreeSearch.h"

namespace terminal {

namespace {

constexpr char32_t CtrlS = U'\x13';

bool isUndo(const Key& key) {
    return key.is(U'u') || key.is(U'\x1A'); // u, Ctrl+Z
}
bool isRedo(const Key& key) {
    return key.is(U'U') || key.is(U'\x12'); // U, Ctrl+R
}

} // namespace

void TerminalHost::handle(const Key& key) {
    if (key.kind == Key::Kind::Mouse) {
        handleMouse(key);
        return;
    }
    // While a name is being jumped to, letters are its letters; the letters that are keys of their own
    // are keys only outside it, so typed text never runs a command the user did not see.
    if (jump_ && windowUp() && focus_ == Focus::Tree && jumpKey(key))
        return;
    jump_.reset();
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
    if (key.is(Fn::F1) || key.is(U'?')) {
        showHelp();
        return;
    }
    if (key.is(U'q') || key.is(U'Q')) {
        quit_ = true;
        return;
    }
    if (isUndo(key) || isRedo(key)) {
        undoChoice(isRedo(key));
        return;
    }
    if (windowUp())
        handleWindowKey(key);
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
    if (key.is(Fn::Up) || key.is(U'k'))
        view.moveBy(-1);
    else if (key.is(Fn::Down) || key.is(U'j'))
        view.moveBy(1);
    else if (key.is(Fn::PageUp))
        view.pageUp();
    else if (key.is(Fn::PageDown))
        view.pageDown();
    else if (key.is(Fn::Home))
        view.moveToFirst();
    else if (key.is(Fn::End))
        view.moveToLast();
    else if (key.is(Fn::Right) || key.is(U'+') || key.is(U'l'))
        view.expandOrDescend();
    else if (key.is(Fn::Left) || key.is(U'-') || key.is(U'h'))
        view.collapseOrAscend();
    else if (key.is(Fn::Enter)) {
        if (host::Node* node = form()->tree().selected())
            view.toggle(*node);
    } else if (key.is(U'*')) {
        view.ensureSelection();
        if (host::Node* node = form()->tree().selected()) {
            expandAll(*node);
            view.update();
            view.reveal();
        }
    } else if (key.is(U'/')) {
        // A new search starts empty: the last one's text would be typed onto.
        const auto query = prompt("Find", "Find a name (n finds the next, N the previous):", "");
        if (query && !query->empty()) {
            lastSearch_ = *query;
            search(true);
        }
    } else if (key.is(U'n') || key.is(U'N')) {
        if (lastSearch_.empty())
            note_ = "nothing to find yet: / asks for a name";
        else
            search(key.is(U'n'));
    } else if (key.is(Fn::ShiftF10) || key.is(Fn::Menu) || key.is(U'm') || key.is(U'M')) {
        contextMenuFromKeyboard();
    } else if (key.is(CtrlS)) {
        jump_.emplace();
    } else if (key.kind == Key::Kind::Char && !key.alt && key.ch > U' ') {
        screen_.beep();
        note_ = "'" + encodeUtf8(key.ch) +
                "' is not a key here: Ctrl+S jumps to a name as you type it, F1 lists the keys";
    }
}

bool TerminalHost::jumpKey(const Key& key) {
    if (key.is(Fn::Enter) || key.is(Fn::Escape)) {
        jump_.reset();
        return true;
    }
    if (key.is(Fn::Backspace)) {
        std::u32string text = decodeUtf8(*jump_);
        if (!text.empty())
            text.pop_back();
        jump_ = encodeUtf8(text);
        return true;
    }
    if (key.kind != Key::Kind::Char || key.alt || key.ch <= U' ')
        return false;
    // A letter that leads nowhere is refused, so what is shown is always a beginning some row has.
    const std::string wanted = *jump_ + encodeUtf8(key.ch);
    TreeView& view = *view_;
    view.update();
    if (const auto row = typeAheadRow(view.rows(), view.selectedRow(), wanted)) {
        jump_ = wanted;
        view.selectRow(*row);
    } else {
        screen_.beep();
    }
    return true;
}

void TerminalHost::search(bool forward) {
    host::TreeModel& tree = form()->tree();
    const host::Node* from = tree.selected();
    host::Node* found = findNode(tree, from, lastSearch_, forward);
    if (found == nullptr) {
        note_ = "no name holds \"" + lastSearch_ + "\"";
        return;
    }
    // Gone round: forward to a node not after where it started, or back to one not before it.
    bool wrapped = false;
    if (from != nullptr) {
        bool seenFrom = false, foundFirst = false;
        tree.forEachInTreeOrder([&](const host::Node& n, std::size_t) {
            if (&n == found && !seenFrom)
                foundFirst = true;
            if (&n == from)
                seenFrom = true;
        });
        wrapped = forward ? (foundFirst || found == from) : !foundFirst;
    }
    landOn(*found);
    note_ = "found " + (found->parent() == nullptr ? std::string(found->text()) : pathBelowWeb(*found)) +
            (wrapped ? (forward ? " (went round to the top)" : " (went round to the bottom)") : "");
}

void TerminalHost::landOn(host::Node& node) {
    expandAbove(node);
    form()->tree().select(&node);
    view_->update();
    view_->reveal();
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
    chooseFromContextMenu(x, y);
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
        chooseFromContextMenu(x, y);
    }
}

} // namespace terminal
