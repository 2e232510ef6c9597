#include "app/terminal/Host.h"

#include "addin/AddinModule.h"
#include "addin/Connect.h"
#include "app/terminal/Glyphs.h"
#include "app/terminal/HostState.h"
#include "app/terminal/LineEdit.h"
#include "app/terminal/SampleWeb.h"
#include "app/terminal/Screen.h"
#include "app/terminal/Text.h"
#include "app/terminal/TreeView.h"
#include "host/Failure.h"
#include "webtree/Fill.h"
#include "window/Layout.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>
#include <unistd.h>
#include <vector>

namespace terminal {
namespace {

using host::memory::MemoryControl;

// The tree's mouse coordinates are in twips, as the window's handlers expect them; a character cell
// counts as 8 x 16 pixels.
constexpr float TwipsPerColumn = 120.0f;
constexpr float TwipsPerRow = 240.0f;

constexpr int ConnectAtStartup = 1;     // ext_cm_Startup
constexpr int DisconnectAtShutdown = 0; // ext_dm_HostShutdown
constexpr int RightButton = 2;

enum class HostCommand { None, OpenWeb, CloseWeb, Exit };

struct MenuItem {
    Caption caption;
    bool enabled = true;
    HostCommand command = HostCommand::None;
    std::shared_ptr<MemoryControl> control; // a control of the host's command bars

    bool isPopup() const { return control && control->type == host::control_type::Popup; }
};

struct BarMenu {
    Caption title;
    std::vector<MenuItem> hostItems; // the host's own, before the command bar's
    std::shared_ptr<MemoryControl> control;
    int x = 0;
    int width = 0;
};

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

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

std::string expandHome(const std::string& path) {
    if (path == "~" || path.rfind("~/", 0) == 0) {
        if (const char* home = std::getenv("HOME"); home != nullptr)
            return std::string(home) + path.substr(1);
    }
    return path;
}

// Where the publishing window and its parts are on the screen this time round.
struct WindowLayout {
    bool fits = false;
    int top = 0, left = 0, height = 0, width = 0;
    std::vector<std::string> labelLines;
    int boxTop = 0, boxHeight = 0; // the tree's frame
    int treeTop = 0, treeLeft = 0; // its first row and column
    int treeRows = 0, treeColumns = 0;
    int closeY = 0, closeX = 0, closeWidth = 0; // the Close button
    int closeBoxX = 0;                          // the close box in the title

    // Where a row at this depth starts: two columns a level, but never so deep that no name shows.
    int rowX(std::size_t depth) const {
        const int indent = 2 * static_cast<int>(std::min<std::size_t>(depth, 1000));
        return treeLeft + std::max(0, std::min(indent, treeColumns - 16));
    }
};

class TerminalHost final : public host::WindowServices {
  public:
    TerminalHost(Screen& screen, HostState& state)
        : screen_(screen), state_(state),
          module_([this] { return std::make_unique<HostApplication>(state_); }, *this), connect_(module_) {}

    ~TerminalHost() override {
        try {
            shutdown();
        } catch (...) {
            // Leaving anyway: the terminal is restored by the screen, whatever the add-in did.
        }
        // The window is destroyed with the module after this body: its tree must not call back into a
        // host that is going.
        if (window::frmMain* f = form())
            f->tree().setListener(nullptr);
    }

    // Connects the add-in and, with a web open, presses its button, as a person would to begin.
    void start();
    void run();
    // Disconnects the add-in and drops the host's temporary menu entries; returns what failed.
    std::string shutdown();

    // --- the window services the add-in uses ---------------------------------------------------
    void show() override;
    void hide() override;
    bool popUpMenu(bool checked, float x, float y) override;
    void messageBox(const std::string& text, const std::string& title, int style) override;

  private:
    window::frmMain* form() { return module_.existingMainWindow(); }
    bool windowUp() { return windowShown_ && form() != nullptr; }

    void guarded(const std::function<void()>& step);
    void afterEvent();

    // drawing
    void draw(std::optional<std::size_t> openBar = std::nullopt);
    void drawMenuBar(const std::vector<BarMenu>& bars, std::optional<std::size_t> open);
    void drawDesktop();
    void drawWindow();
    void drawStatus();
    WindowLayout layout() const;

    // events
    void handle(const Key& key);
    void handleWindowKey(const Key& key);
    void handleMouse(const Key& key);
    void handleWindowMouse(const Key& key, const WindowLayout& l);
    void contextMenuFromKeyboard();
    void closeWindow();

    // menus and host commands
    std::vector<BarMenu> barMenus();
    std::optional<MenuItem> runMenus(std::size_t bar);
    void execute(const MenuItem& item);
    void openWebFromPrompt();
    void closeWeb();
    std::optional<std::string> prompt(const std::string& title, const std::string& label,
                                      const std::string& initial);
    std::shared_ptr<MemoryControl> addinButton();

    Screen& screen_;
    HostState& state_;
    addin::AddinModule module_;
    addin::Connect connect_;
    bool connected_ = false;
    bool shutDown_ = false;

    bool windowShown_ = false;
    enum class Focus { Tree, Close } focus_ = Focus::Tree;
    std::unique_ptr<TreeView> view_;
    bool treeChanged_ = false;

    std::string error_;
    std::string note_;
    bool quit_ = false;
};

// --- life cycle ---------------------------------------------------------------------------------

void TerminalHost::start() {
    guarded([&] {
        connect_.IDTExtensibility2_OnConnection(std::make_shared<HostApplication>(state_), ConnectAtStartup);
        connected_ = true;
    });
    if (!connected_ || state_.web() == nullptr)
        return;
    guarded([&] {
        auto button = addinButton();
        if (!button)
            throw host::Failure(host::status::NotFound, "the add-in put no button into the Tools menu");
        state_.bars().press(*button);
    });
    afterEvent();
}

std::string TerminalHost::shutdown() {
    if (shutDown_)
        return {};
    shutDown_ = true;
    std::string failed;
    if (connected_) {
        connected_ = false;
        try {
            connect_.IDTExtensibility2_OnDisconnection(DisconnectAtShutdown);
        } catch (const std::exception& e) {
            failed = std::string("disconnecting the add-in failed: ") + e.what();
        }
    }
    state_.bars().dropTemporary();
    return failed;
}

std::shared_ptr<MemoryControl> TerminalHost::addinButton() {
    auto bar = state_.bars().bar("Menu Bar");
    auto tools = bar ? bar->childNamed("Tools") : nullptr;
    auto popup = tools ? tools->childNamed("Talvo Add-ins") : nullptr;
    return popup ? popup->childNamed("Varnook 3.0...") : nullptr;
}

void TerminalHost::guarded(const std::function<void()>& step) {
    // The event boundary: whatever ends the event is the host's to show, as the editor shows a failed
    // add-in call; the add-in has no error handling of its own.
    try {
        step();
    } catch (const host::Failure& f) {
        error_ = f.what();
    } catch (const std::exception& e) {
        error_ = e.what();
    }
    // A message the status line would cut short is shown whole, in a box the user closes.
    if (!error_.empty() && textWidth("Error: " + error_) > screen_.cols() - 2) {
        draw();
        messageBox(error_, "Varnook", 16);
    }
}

void TerminalHost::afterEvent() {
    const std::string warnings = state_.takeWarnings();
    if (warnings.empty())
        return;
    std::string first = firstLine(warnings);
    if (first.rfind("varnook: ", 0) == 0)
        first.erase(0, 9);
    const auto more = std::count(warnings.begin(), warnings.end(), '\n') - 1;
    note_ = first + (more > 0 ? " (and " + std::to_string(more) + " more)" : "");
}

void TerminalHost::run() {
    while (!quit_ && !quitRequested()) {
        draw();
        const Key key = screen_.read();
        if (key.kind == Key::Kind::None || key.kind == Key::Kind::Resize)
            continue;
        error_.clear();
        note_.clear();
        guarded([&] { handle(key); });
        afterEvent();
    }
}

// --- window services ----------------------------------------------------------------------------

void TerminalHost::show() {
    window::frmMain* f = form();
    if (f == nullptr)
        return;
    windowShown_ = true;
    focus_ = Focus::Tree;
    if (!view_) {
        view_ = std::make_unique<TreeView>(f->tree());
        f->tree().setListener([this] { treeChanged_ = true; });
    }
    view_->resetScroll();
    view_->ensureSelection();
}

void TerminalHost::hide() {
    windowShown_ = false;
    focus_ = Focus::Tree;
}

bool TerminalHost::popUpMenu(bool checked, float x, float y) {
    const std::string text = std::string(checked ? screen_.symbol("\u2713 ", "* ") : "  ") +
                             std::string(window::layout::mnuNoPublishCaption);
    const int width = textWidth(text) + 4;
    const int height = 3;
    while (!quitRequested()) {
        // At the pointer, within the screen (which may have been resized meanwhile).
        const WindowLayout l = layout();
        const int top = std::clamp(l.treeTop + static_cast<int>(y / TwipsPerRow), 1,
                                   std::max(1, screen_.rows() - 1 - height));
        const int left = std::clamp(l.treeLeft + static_cast<int>(x / TwipsPerColumn), 0,
                                    std::max(0, screen_.cols() - width));
        draw();
        screen_.frame(top, left, height, width, Style::Menu);
        screen_.fill(top + 1, left + 1, width - 2, Style::MenuSelected);
        screen_.put(top + 1, left + 2, text, Style::MenuSelected, width - 4);
        screen_.show();

        const Key key = screen_.read();
        if (key.is(Fn::Enter) || key.is(U' '))
            return true;
        if (key.is(Fn::Escape) || key.is(Fn::F10))
            return false;
        if (key.kind == Key::Kind::Mouse) {
            const bool onItem = key.y == top + 1 && key.x > left && key.x < left + width - 1;
            const bool inside = key.y >= top && key.y < top + height && key.x >= left && key.x < left + width;
            if (onItem && (key.mouse == MouseAction::LeftRelease || key.mouse == MouseAction::RightRelease))
                return true;
            if (!inside && (key.mouse == MouseAction::LeftPress || key.mouse == MouseAction::RightPress))
                return false;
        }
    }
    return false;
}

void TerminalHost::messageBox(const std::string& text, const std::string& title, int style) {
    // The style's icon bits: 16 stop, 32 question, 48 exclamation, 64 information.
    std::string icon;
    Style iconStyle = Style::Exclamation;
    switch (style & 0x70) {
    case 16:
        icon = "X";
        iconStyle = Style::Badge;
        break;
    case 32:
        icon = "?";
        break;
    case 48:
        icon = "!";
        break;
    case 64:
        icon = "i";
        break;
    default:
        break;
    }
    const std::string okText = "[ OK ]";
    while (!quitRequested()) {
        const int maxText = std::max(10, std::min(screen_.cols() - 10, 60));
        const std::vector<std::string> lines = wrapWords(text, maxText);
        int textCols = 0;
        for (const auto& line : lines)
            textCols = std::max(textCols, textWidth(line));
        const int iconCols = icon.empty() ? 0 : 3;
        const int width =
            std::min(screen_.cols(), std::max({textCols + iconCols + 4, textWidth(title) + 8, 16}));
        const int height = static_cast<int>(lines.size()) + 5;
        const int top = std::max(1, (screen_.rows() - height) / 2);
        const int left = std::max(0, (screen_.cols() - width) / 2);
        const int okY = top + height - 2;
        const int okX = left + (width - static_cast<int>(okText.size())) / 2;

        draw();
        screen_.frame(top, left, height, width, Style::Bold);
        const std::string caption = " " + title + " ";
        screen_.put(top, left + (width - textWidth(caption)) / 2, caption, Style::Bold, width - 2);
        if (!icon.empty())
            screen_.put(top + 2, left + 2, icon, iconStyle, 1);
        for (std::size_t i = 0; i < lines.size(); ++i)
            screen_.put(top + 2 + static_cast<int>(i), left + 2 + iconCols, lines[i], Style::Normal,
                        width - 4 - iconCols);
        screen_.put(okY, okX, okText, Style::ButtonFocused);
        screen_.show();

        const Key key = screen_.read();
        if (key.is(Fn::Enter) || key.is(U' ') || key.is(Fn::Escape))
            return;
        if (key.kind == Key::Kind::Mouse && key.mouse == MouseAction::LeftPress) {
            if (key.y == okY && key.x >= okX && key.x < okX + static_cast<int>(okText.size()))
                return;
            screen_.beep();
        }
    }
}

// --- layout and drawing -------------------------------------------------------------------------

WindowLayout TerminalHost::layout() const {
    WindowLayout l;
    const int rows = screen_.rows(), cols = screen_.cols();
    const int deskTop = 1, deskHeight = rows - 2;
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
        screen_.put(screen_.rows() / 2, 0, "The terminal is too small for the window.", Style::Bold);
        return;
    }
    const std::string_view ellipsis = screen_.symbol("\u2026", "~");

    screen_.frame(l.top, l.left, l.height, l.width, Style::Bold);
    const std::string caption = " " + std::string(window::frmMain::Caption) + " ";
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
        if (webtree::hasMarkSuffix(image))
            screen_.put(y, x + 3, screen_.symbol(MarkBadge, MarkBadgeAscii), Style::Badge, 1);
        const Style textStyle = !isSelected             ? Style::Normal
                                : focus_ == Focus::Tree ? Style::Selected
                                                        : Style::SelectedUnfocused;
        const std::string text =
            " " + fitWidth(printable(node.text(), screen_.unicode()), right - (x + 6), ellipsis) + " ";
        screen_.put(y, x + 4, text, textStyle, right - (x + 4));
    }
    // The frame's right side doubles as a scroll bar when the rows do not all fit.
    if (rows.size() > static_cast<std::size_t>(l.treeRows) && l.treeRows >= 2) {
        const int barX = l.left + l.width - 3;
        const int track = l.treeRows;
        const auto total = static_cast<double>(rows.size());
        const int thumb = std::max(1, static_cast<int>(track * l.treeRows / total));
        const int start = static_cast<int>(track * static_cast<double>(view.top()) / total);
        for (int r = 0; r < track; ++r) {
            const bool inThumb = r >= start && r < start + thumb;
            screen_.put(l.treeTop + r, barX,
                        inThumb ? screen_.symbol("\u2588", "#") : screen_.symbol("\u2591", ":"), Style::Dim,
                        1);
        }
    }

    screen_.put(l.closeY, l.closeX, "[ Close ]",
                focus_ == Focus::Close ? Style::ButtonFocused : Style::Button);
}

void TerminalHost::drawStatus() {
    const int y = screen_.rows() - 1;
    const int cols = screen_.cols();
    screen_.fill(y, 0, cols, Style::Normal);
    if (!error_.empty()) {
        screen_.fill(y, 0, cols, Style::Error);
        screen_.put(y, 1, "Error: " + error_, Style::Error, cols - 2);
        return;
    }
    if (!note_.empty()) {
        screen_.put(y, 1, "Note: " + note_, Style::Note, cols - 2);
        return;
    }
    std::string hints;
    std::string name, kind;
    if (windowUp()) {
        hints = screen_.unicode()
                    ? "\u2191\u2193 move  \u2190\u2192 fold  m Don't Publish  Tab Close  Esc close window  "
                      "F10 Tools"
                    : "Up/Down move  Left/Right fold  m Don't Publish  Tab Close  Esc close  F10 Tools";
        if (const host::Node* node = form()->tree().selected()) {
            name = printable(node->text(), screen_.unicode());
            kind = ": " + std::string(glyphFor(node->image()).kind);
            if (webtree::hasMarkSuffix(node->image()))
                kind += ", Don't Publish";
        }
    } else {
        hints = "F10 Tools  Alt+F File  q Quit";
    }
    const int hintsWidth = screen_.put(y, 1, hints, Style::Dim, cols - 2);
    // The selected node in words, where the hints leave room for it; a long name (the web's path) gives
    // up its beginning, so its own name and its kind stay in view.
    const int room = cols - 1 - (1 + hintsWidth + 3);
    if (name.empty() || room < textWidth(kind) + 6)
        return;
    const std::string shown =
        fitWidthKeepingEnd(name, room - textWidth(kind), screen_.symbol("\u2026", "~")) + kind;
    screen_.put(y, cols - 1 - textWidth(shown), shown, Style::Normal);
}

// --- events -------------------------------------------------------------------------------------

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

// --- menus --------------------------------------------------------------------------------------

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

void TerminalHost::execute(const MenuItem& item) {
    if (item.control) {
        state_.bars().press(*item.control);
        return;
    }
    switch (item.command) {
    case HostCommand::OpenWeb:
        openWebFromPrompt();
        break;
    case HostCommand::CloseWeb:
        closeWeb();
        break;
    case HostCommand::Exit:
        quit_ = true;
        break;
    case HostCommand::None:
        break;
    }
}

void TerminalHost::closeWeb() {
    // The window's tree shows the web that is going; left open it would mark items of a closed web.
    closeWindow();
    state_.closeWeb();
}

void TerminalHost::openWebFromPrompt() {
    std::string initial;
    if (auto* web = state_.web())
        initial = web->webPath().string();
    else if (char cwd[4096]; ::getcwd(cwd, sizeof cwd) != nullptr)
        initial = std::string(cwd) + "/";
    const auto path = prompt("Open Web", "Folder of the web:", initial);
    if (!path || path->empty())
        return;
    // A web that cannot be opened leaves the open web and its window as they were.
    state_.openWeb(expandHome(*path));
    closeWindow();
    note_ = "Opened the web " + state_.web()->webPath().string();
}

std::optional<std::string> TerminalHost::prompt(const std::string& title, const std::string& label,
                                                const std::string& initial) {
    LineEdit edit(initial);
    while (!quitRequested()) {
        const int width = std::min(screen_.cols(), 72);
        const int height = 7;
        const int top = std::max(1, (screen_.rows() - height) / 2);
        const int left = std::max(0, (screen_.cols() - width) / 2);
        const int fieldWidth = width - 4;

        draw();
        screen_.frame(top, left, height, width, Style::Bold);
        const std::string caption = " " + title + " ";
        screen_.put(top, left + (width - textWidth(caption)) / 2, caption, Style::Bold, width - 2);
        screen_.put(top + 1, left + 2, label, Style::Normal, fieldWidth);
        screen_.fill(top + 2, left + 2, fieldWidth, Style::Field);
        const LineEdit::View v = edit.view(fieldWidth - 1);
        screen_.put(top + 2, left + 2, v.text, Style::Field, fieldWidth);
        screen_.put(top + 4, left + 2, "Enter opens, Esc cancels", Style::Dim, fieldWidth);
        screen_.placeCursor(top + 2, left + 2 + v.cursorColumn);
        screen_.show();

        const Key key = screen_.read();
        if (key.is(Fn::Enter)) {
            screen_.hideCursor();
            return edit.text();
        }
        if (key.is(Fn::Escape)) {
            screen_.hideCursor();
            return std::nullopt;
        }
        if (key.is(Fn::Left) || key.is(U'\x02'))
            edit.left();
        else if (key.is(Fn::Right) || key.is(U'\x06'))
            edit.right();
        else if (key.is(Fn::Home) || key.is(U'\x01'))
            edit.home();
        else if (key.is(Fn::End) || key.is(U'\x05'))
            edit.end();
        else if (key.is(Fn::Backspace))
            edit.backspace();
        else if (key.is(Fn::Delete) || key.is(U'\x04'))
            edit.erase();
        else if (key.is(U'\x0B'))
            edit.killToEnd();
        else if (key.is(U'\x15'))
            edit.killToStart();
        else if (key.is(U'\x17'))
            edit.killWordBack();
        else if (key.kind == Key::Kind::Char && !key.alt)
            edit.insert(key.ch);
    }
    screen_.hideCursor();
    return std::nullopt;
}

bool isTerminal() {
    return ::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1;
}

} // namespace

int runHost(const std::optional<std::string>& web, std::ostream& err) {
    if (!isTerminal()) {
        err << "varnook: the terminal window needs a terminal; use 'varnook tree WEB' for scripts\n";
        return 2;
    }

    HostState state;
    try {
        std::filesystem::path path;
        if (web) {
            path = *web;
        } else {
            const auto source = findSampleWebSource();
            if (!source)
                throw host::Failure(host::status::NotFound,
                                    "cannot find the bundled sample web; name a web: varnook WEB");
            path = ensureSampleWebCopy(*source, dataFolder());
        }
        state.openWeb(path);
    } catch (const host::Failure& f) {
        err << "varnook: " << f.what() << '\n';
        return 1;
    }
    // Names left out while opening are shown in the window's status line, not under the screen.
    std::string failed;
    {
        Screen screen;
        TerminalHost host(screen, state);
        host.start();
        host.run();
        failed = host.shutdown();
    }
    if (!failed.empty())
        err << "varnook: " << failed << '\n';
    if (const int sig = quitSignal(); sig != 0) {
        // Ended by a signal, so whoever started us sees it was.
        std::signal(sig, SIG_DFL);
        std::raise(sig);
    }
    return failed.empty() ? 0 : 1;
}

} // namespace terminal
