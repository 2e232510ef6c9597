#pragma once

#include "addin/AddinModule.h"
#include "addin/Connect.h"
#include "app/publishing/ShownState.h"
#include "app/terminal/HostState.h"
#include "app/terminal/LinkWarnings.h"
#include "app/terminal/Menus.h"
#include "app/terminal/ModalScreen.h"
#include "app/terminal/Screen.h"
#include "app/terminal/TreeView.h"
#include "app/terminal/UndoHistory.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// The terminal host: the editor's part on a character terminal. Its life cycle, window services and the
// two loops, the window's and the modal screens' (Host.cpp); the menu bar (MenuBar.cpp), the File menu's
// commands (HostCommands.cpp), the window's drawing (WindowDrawing.cpp), keys and mouse (Events.cpp), the
// context menu's choices and their undo (Choices.cpp). Each modal screen is a class of its own: the menus
// (Menus.h), the pop-up menu (PopupMenu.h), the message box (MessageScreen.h), the prompt
// (PromptScreen.h) and the help (HelpScreen.h).
namespace terminal {

constexpr int RightButton = 2;

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
    // The one loop of every modal screen: the window beneath, the screen over it, one key at a time, until
    // the screen is done (true) or a quit signal arrives (false).
    bool runModal(ModalScreen& modal);

    // drawing (WindowDrawing.cpp)
    void draw(std::optional<std::size_t> openBar = std::nullopt);
    void drawMenuBar(const std::vector<BarMenu>& bars, std::optional<std::size_t> open);
    void drawDesktop();
    void drawWindow();
    void drawStatus();
    void drawHelpLine();
    std::string selectedNodeWhy(const host::Node& node);
    const app::BeneathCounts& beneath();
    const std::unordered_map<const host::Node*, LinkWarning>& linkWarnings();
    const std::unordered_set<const host::Node*>& unlinked();
    void dropTreeCaches();
    WindowLayout layout() const;

    // events (Events.cpp)
    void handle(const Key& key);
    void handleWindowKey(const Key& key);
    // A key while a name is being jumped to (Ctrl+S); false when it ends the jump and is a key of its own.
    bool jumpKey(const Key& key);
    void search(bool forward);
    void landOn(host::Node& node);
    void handleMouse(const Key& key);
    void handleWindowMouse(const Key& key, const WindowLayout& l);
    void contextMenuFromKeyboard();
    void closeWindow();

    // the context menu's choice and its undo (Choices.cpp)
    void chooseFromContextMenu(float x, float y);
    // The choice holds the web's write lock; false when the web changed since the window was filled (the
    // window is then filled afresh instead of acting on marks it no longer shows).
    bool lockForChoice();
    // Throws when the web the window shows is no longer the open one.
    void requireWindowsWeb() const;
    void beforeChoice(bool checked);
    void afterChoice();
    void undoChoice(bool redo);
    // "Don't Publish all *.EXT files" (or "Publish all"): every file of the kind that shows the other way,
    // after a question that says how many; one choice, one undo step.
    void chooseAllOfKind(const std::string& extension, bool publishing);
    void refillKeepingView();
    // After the window's tree was filled: the change count its marks are from, and the marks it could
    // not read, said.
    void afterFill();

    // menus (MenuBar.cpp) and the host's commands (HostCommands.cpp)
    std::vector<BarMenu> barMenus();
    std::optional<MenuItem> runMenus(std::size_t bar);
    void execute(const MenuItem& item);
    void openWebFromPrompt();
    void closeWeb();
    void pressAddinButton();
    std::shared_ptr<MemoryControl> addinButton();

    // the modal screens (Host.cpp)
    std::optional<std::string> prompt(const std::string& title, const std::string& label,
                                      const std::string& initial, bool completeFolders = false);
    void showHelp();

    Screen& screen_;
    HostState& state_;
    addin::AddinModule module_;
    addin::Connect connect_;
    bool connected_ = false;
    bool shutDown_ = false;

    bool windowShown_ = false;
    std::filesystem::path windowWeb_; // the web the window's tree was filled from
    enum class Focus { Tree, Close } focus_ = Focus::Tree;
    std::unique_ptr<TreeView> view_;
    bool treeChanged_ = false;
    std::optional<app::BeneathCounts> beneath_; // dropped whenever the tree changes
    LinkWarnings links_;                        // the links of the window's pages, read when it opens
    std::optional<std::unordered_map<const host::Node*, LinkWarning>> warned_; // as beneath_
    std::optional<std::unordered_set<const host::Node*>> unlinked_;            // as beneath_

    // What the bottom line offers while a menu, a prompt or the help is open; the tree's keys otherwise.
    std::string modalHints_;

    std::string lastSearch_;
    std::optional<std::string> jump_; // the beginning of a name typed after Ctrl+S, while it is typed
    std::string lastUndo_;            // what the last undo or redo did, until the next choice

    struct PendingChoice {
        std::string label;
        bool publishing = false;
        std::string nodeKey;
        std::shared_ptr<const ChoiceFiles> files;
        FileSnapshot before;
    };
    std::optional<PendingChoice> pending_;
    struct AllOfKind {
        std::string extension;
        bool publishing = false;
    };
    std::optional<AllOfKind> allOfKind_; // chosen in the pop-up menu, run once it has closed
    std::string pendingSnapshotError_;
    UndoHistory history_;

    // The web's change count when the window was filled, and the lock a choice holds while it writes.
    std::uint64_t filledAt_ = 0;
    std::unique_ptr<host::disk::WriteLock> choiceLock_;
    bool refill_ = false;

    std::string error_;
    std::string note_;
    std::string noteWhole_; // what the note stands for when it is a summary (every warning)
    bool quit_ = false;
};

} // namespace terminal
