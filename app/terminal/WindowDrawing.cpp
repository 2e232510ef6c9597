#include "app/terminal/Glyphs.h"
#include "app/terminal/TerminalHost.h"
#include "app/terminal/Text.h"
#include "host/disk/Metadata.h"
#include "webtree/NodeImages.h"
#include "window/Layout.h"

#include <cmath>

namespace terminal {

namespace metadata = host::disk::metadata;

namespace {

struct RankedKey {
    std::string text;
    int rank; // 0 the most needed
};

// The keys in their order, less needed ones left out until the line fits the width.
std::string fitKeys(std::vector<RankedKey> keys, int width) {
    auto joined = [&] {
        std::string line;
        for (const auto& key : keys)
            line += (line.empty() ? "" : "  ") + key.text;
        return line;
    };
    while (keys.size() > 1 && textWidth(joined()) > width) {
        // Of equally needed ones, the last goes first.
        std::size_t leastNeeded = 0;
        for (std::size_t i = 1; i < keys.size(); ++i) {
            if (keys[i].rank >= keys[leastNeeded].rank)
                leastNeeded = i;
        }
        keys.erase(keys.begin() + static_cast<std::ptrdiff_t>(leastNeeded));
    }
    return joined();
}

} // namespace

WindowLayout TerminalHost::layout() const {
    WindowLayout l;
    const int rows = screen_.rows(), cols = screen_.cols();
    const int deskTop = 1, deskHeight = rows - 3; // the menu bar above, the status and help lines below
    l.width = std::min(cols - 2, 92);
    l.height = deskHeight >= 16 ? std::min(deskHeight - 2, 40) : deskHeight;
    if (l.width < 24 || l.height < 8)
        return l;
    l.top = deskTop + (deskHeight - l.height) / 2;
    l.left = (cols - l.width) / 2;

    const int inner = l.width - 4;
    for (std::string_view label : {window::layout::Label1.text, window::layout::Label2.text}) {
        for (auto& line : wrapWords(label, inner))
            l.labelLines.push_back(std::move(line));
    }
    l.closeY = l.top + l.height - 2;
    l.closeWidth = 9;
    l.closeX = l.left + l.width - 2 - l.closeWidth;
    l.closeBoxX = l.left + l.width - 5;
    // A short terminal gives the labels' room to the tree first.
    const int minimumBox = 3;
    const int spare = l.closeY - (l.top + 1) - minimumBox;
    if (static_cast<int>(l.labelLines.size()) > spare)
        l.labelLines.resize(static_cast<std::size_t>(std::max(0, spare)));
    l.boxTop = l.top + 1 + static_cast<int>(l.labelLines.size());
    l.boxHeight = l.closeY - l.boxTop;
    l.treeTop = l.boxTop + 1;
    l.treeLeft = l.left + 3;
    l.treeRows = l.boxHeight - 2;
    l.treeColumns = l.width - 6;
    l.fits = l.treeRows >= 1;
    return l;
}

void TerminalHost::draw(std::optional<std::size_t> openBar) {
    screen_.clear();
    screen_.hideCursor();
    drawMenuBar(barMenus(), openBar);
    if (windowUp())
        drawWindow();
    else
        drawDesktop();
    drawStatus();
    screen_.show();
}

void TerminalHost::drawDesktop() {
    std::vector<std::string> lines;
    if (auto* web = state_.web()) {
        lines.push_back("Web: " + web->webPath().string());
        lines.emplace_back("F10 opens the Tools menu, Alt+F the File menu, q quits.");
    } else {
        lines.push_back(std::string("No web open ") + std::string(screen_.symbol("\u2014", "-")) +
                        " use File > Open Web...");
    }
    const int top = std::max(1, (screen_.rows() - static_cast<int>(lines.size())) / 2);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string line = fitWidth(printable(lines[i], screen_.unicode()), screen_.cols() - 2,
                                          screen_.symbol("\u2026", "~"));
        const int x = std::max(0, (screen_.cols() - textWidth(line)) / 2);
        screen_.put(top + static_cast<int>(i), x, line, i == 0 ? Style::Bold : Style::Dim);
    }
}

void TerminalHost::drawWindow() {
    window::frmMain& f = *form();
    const WindowLayout l = layout();
    if (!l.fits) {
        // Said in the longest words that fit, on a terminal of any size.
        for (std::string_view says :
             {"The terminal is too small for the window.", "Too small for the window.", "Too small.", "!"}) {
            if (textWidth(says) <= screen_.cols()) {
                screen_.put(screen_.rows() / 2, (screen_.cols() - textWidth(says)) / 2, says, Style::Bold);
                break;
            }
        }
        return;
    }
    const std::string_view ellipsis = screen_.symbol("\u2026", "~");

    screen_.frame(l.top, l.left, l.height, l.width, Style::Bold);
    const std::string caption = " " + std::string(window::layout::Caption) + " ";
    screen_.put(l.top, l.left + (l.width - textWidth(caption)) / 2, caption, Style::Bold, l.width - 6);
    screen_.put(l.top, l.closeBoxX, screen_.symbol("[\u00D7]", "[x]"), Style::Bold);
    for (std::size_t i = 0; i < l.labelLines.size(); ++i)
        screen_.put(l.top + 1 + static_cast<int>(i), l.left + 2, l.labelLines[i], Style::Normal, l.width - 4);

    screen_.frame(l.boxTop, l.left + 2, l.boxHeight, l.width - 4, Style::Normal);
    TreeView& view = *view_;
    view.update();
    view.setHeight(static_cast<std::size_t>(l.treeRows));
    if (treeChanged_) {
        treeChanged_ = false;
        view.reveal();
    }
    const auto& rows = view.rows();
    const host::Node* selected = f.tree().selected();
    for (int r = 0; r < l.treeRows; ++r) {
        const std::size_t index = view.top() + static_cast<std::size_t>(r);
        if (index >= rows.size())
            break;
        const host::Node& node = *rows[index].node;
        const int y = l.treeTop + r;
        const int x = l.rowX(rows[index].depth);
        const int right = l.treeLeft + l.treeColumns;
        const bool isSelected = &node == selected;
        if (node.childCount() > 0)
            screen_.put(y, x, node.expanded() ? screen_.symbol("\u25BE", "-") : screen_.symbol("\u25B8", "+"),
                        Style::Dim, 1);
        // A selected node shows its selected image, as the tree control does.
        const std::string& image = isSelected ? node.selectedImage() : node.image();
        const Glyph glyph = glyphFor(image);
        screen_.putGlyph(y, x + 2, screen_.symbol(glyph.unicode, glyph.ascii), glyph.colour);
        const auto counts = beneath().find(&node);
        const app::Shown shown =
            counts == beneath().end() ? app::Shown::Published : app::shownState(node, counts->second);
        if (webtree::hasMarkSuffix(image))
            screen_.put(y, x + 3, screen_.symbol(MarkBadge, MarkBadgeAscii), Style::Badge, 1);
        else if (shown == app::Shown::Partly)
            screen_.put(y, x + 3, PartlyBadge, Style::Partly, 1);
        const Style textStyle = !isSelected             ? Style::Normal
                                : focus_ == Focus::Tree ? Style::Selected
                                                        : Style::SelectedUnfocused;
        const bool linked = linkWarnings().count(&node) > 0;
        const std::string text =
            " " +
            fitWidth(printable(node.text(), screen_.unicode()), right - (x + (linked ? 8 : 6)), ellipsis) +
            " ";
        const int drawn = screen_.put(y, x + 4, text, textStyle, right - (x + 4));
        if (linked)
            screen_.put(y, x + 4 + drawn, LinkBadge, Style::Exclamation, right - (x + 4 + drawn));
    }
    // The frame's right side doubles as a scroll bar when the rows do not all fit.
    if (rows.size() > static_cast<std::size_t>(l.treeRows) && l.treeRows >= 2) {
        const int barX = l.left + l.width - 3;
        const int track = l.treeRows;
        const auto total = static_cast<double>(rows.size());
        const int thumb = std::max(1, static_cast<int>(track * l.treeRows / total));
        // At the last row the thumb sits at the track's end, whatever the rounding of its length.
        const std::size_t maxTop = rows.size() - static_cast<std::size_t>(l.treeRows);
        const int start = static_cast<int>(
            std::lround((track - thumb) * static_cast<double>(view.top()) / static_cast<double>(maxTop)));
        for (int r = 0; r < track; ++r) {
            const bool inThumb = r >= start && r < start + thumb;
            screen_.put(l.treeTop + r, barX,
                        inThumb ? screen_.symbol("\u2588", "#") : screen_.symbol("\u2591", ":"), Style::Dim,
                        1);
        }
    }

    if (!lastUndo_.empty()) {
        const std::string said = " " + lastUndo_ + " ";
        screen_.put(l.boxTop + l.boxHeight - 1, l.left + 4, fitWidth(said, l.width - 8, ellipsis),
                    Style::Note, l.width - 8);
    }

    screen_.put(l.closeY, l.closeX, "[ Close ]",
                focus_ == Focus::Close ? Style::ButtonFocused : Style::Button);
}

void TerminalHost::dropTreeCaches() {
    beneath_.reset();
    warned_.reset();
    unlinked_.reset();
}

const std::unordered_set<const host::Node*>& TerminalHost::unlinked() {
    if (!unlinked_)
        unlinked_ = links_.unlinked(form()->tree());
    return *unlinked_;
}

const std::unordered_map<const host::Node*, LinkWarning>& TerminalHost::linkWarnings() {
    if (!warned_)
        warned_ = links_.warnings(form()->tree());
    return *warned_;
}

const app::BeneathCounts& TerminalHost::beneath() {
    if (!beneath_)
        beneath_ = app::countBeneath(form()->tree());
    return *beneath_;
}

std::string TerminalHost::selectedNodeWhy(const host::Node& node) {
    if (state_.web() == nullptr)
        return "the web is closed: choices here fail until a web is open";
    std::optional<bool> own;
    if (node.parent() != nullptr) {
        // The folder's path below the web and the item's name in it, from the names of the nodes above.
        std::vector<std::string_view> names;
        for (const host::Node* n = &node; n->parent() != nullptr; n = n->parent())
            names.push_back(n->text());
        const bool folder = webtree::isFolderNode(node);
        std::string folderPath;
        for (std::size_t i = names.size(); i-- > (folder ? 0 : 1);)
            folderPath.append(folderPath.empty() ? "" : "/").append(names[i]);
        // A guarded read: the why line is a help, and an unreadable file only leaves the own mark unsaid.
        try {
            const auto bytes = state_.web()->readMetadataFile(folderPath, folder ? "" : names[0]);
            own = bytes && metadata::lookup(*bytes, "vti_donotpublish").textEquals("True");
        } catch (const std::exception&) {
            own.reset();
        }
    }
    const auto counts = beneath().find(&node);
    return app::whyShown(node, counts == beneath().end() ? app::Beneath{} : counts->second, own);
}

void TerminalHost::drawStatus() {
    const int y = screen_.rows() - 2;
    const int cols = screen_.cols();
    drawHelpLine();
    if (y < 1)
        return;
    screen_.fill(y, 0, cols, Style::Normal);
    if (!error_.empty()) {
        screen_.fill(y, 0, cols, Style::Error);
        screen_.put(y, 1, "Error: " + error_, Style::Error, cols - 2);
        return;
    }
    if (!note_.empty()) {
        // A note too long for the line says where the rest is.
        const std::string line = "Note: " + note_;
        const std::string rest = " [F2 reads all]";
        const bool fits = textWidth(line) <= cols - 2;
        const std::string shown = fits ? line
                                       : fitWidth(printable(line, screen_.unicode()),
                                                  cols - 2 - textWidth(rest), screen_.symbol("\u2026", "~")) +
                                             rest;
        screen_.put(y, 1, shown, Style::Note, cols - 2);
        return;
    }
    if (!windowUp())
        return;
    const host::Node* node = form()->tree().selected();
    if (node == nullptr)
        return;
    std::string kind = ": " + std::string(glyphFor(node->image()).kind);
    const auto counts = beneath().find(node);
    if (webtree::hasMarkSuffix(node->image()))
        kind += ", Don't Publish";
    else if (counts != beneath().end() && app::shownState(*node, counts->second) == app::Shown::Partly)
        kind += ", partly";
    std::string reason = selectedNodeWhy(*node);
    if (const auto linked = linkWarnings().find(node); linked != linkWarnings().end())
        reason = describe(linked->second) + "; " + reason;
    else if (unlinked().count(node) > 0)
        reason = "not linked from any published page; " + reason;
    const std::string why = std::string(" ") + std::string(screen_.symbol("\u2014", "-")) + " " + reason;
    // A long name (the web's path) gives up its beginning, so its own name, its kind and why stay in view.
    const int room = cols - 2 - textWidth(kind) - textWidth(why);
    const std::string name = printable(node->text(), screen_.unicode());
    if (room >= 6) {
        screen_.put(y, 1, fitWidthKeepingEnd(name, room, screen_.symbol("\u2026", "~")) + kind + why,
                    Style::Normal, cols - 2);
    } else {
        screen_.put(y, 1, fitWidthKeepingEnd(name, std::max(6, cols - 2 - textWidth(kind)), "~") + kind + why,
                    Style::Normal, cols - 2);
    }
}

void TerminalHost::drawHelpLine() {
    const int y = screen_.rows() - 1;
    const int cols = screen_.cols();
    screen_.fill(y, 0, cols, Style::Normal);
    std::string hints = modalHints_;
    if (hints.empty() && jump_) {
        // The name typed so far takes the place of the keys, so the status line goes on showing the row.
        const std::string typed = "Jump to: " + *jump_;
        screen_.put(y, 1, typed, Style::Note, cols - 2);
        screen_.put(y, 1 + textWidth(typed), "   Backspace takes a letter back  Enter or Esc ends",
                    Style::Dim, cols - 2 - textWidth(typed));
        return;
    }
    if (hints.empty()) {
        // Each key with its rank (0 the most needed); a narrow terminal loses the least needed first.
        std::vector<RankedKey> keys;
        if (windowUp() && focus_ == Focus::Close)
            keys = {{"Enter closes the window", 0},
                    {"Tab back to the tree", 1},
                    {"Esc closes", 2},
                    {"F1 help", 0},
                    {"q quit", 0}};
        else if (windowUp())
            keys = {{"F1 help", 0},
                    {screen_.unicode() ? "\u2191\u2193 move" : "Up/Down move", 4},
                    {screen_.unicode() ? "\u2190\u2192 fold" : "Left/Right fold", 4},
                    {"m Don't Publish", 1},
                    {"/ find", 3},
                    {"^S jump", 5},
                    {"u undo", 2},
                    {"Tab Close", 5},
                    {"Esc close window", 3},
                    {"F10 Tools", 1},
                    {"q quit", 0}};
        else
            keys = {{"F1 help", 0}, {"F10 Tools", 1}, {"Alt+F File", 1}, {"u undo", 2}, {"q quit", 0}};
        hints = fitKeys(std::move(keys), cols - 2);
    }
    screen_.put(y, 1, hints, Style::Dim, cols - 2);
}

} // namespace terminal
