#include "app/terminal/Host.h"

#include "app/publishing/UnreadableMarks.h"
#include "app/terminal/HelpScreen.h"
#include "app/terminal/MessageScreen.h"
#include "app/terminal/PopupMenu.h"
#include "app/terminal/PromptScreen.h"
#include "app/terminal/SampleWeb.h"
#include "app/terminal/TerminalHost.h"
#include "host/Failure.h"
#include "host/Ownership.h"
#include "webtree/NodeImages.h"
#include "window/Layout.h"

#include <csignal>
#include <unistd.h>
#include <utility>

namespace terminal {
namespace {

constexpr int ConnectAtStartup = 1;     // ext_cm_Startup
constexpr int DisconnectAtShutdown = 0; // ext_dm_HostShutdown

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

bool isTerminal() {
    return ::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1;
}

} // namespace

// --- life cycle ---------------------------------------------------------------------------------

void TerminalHost::start() {
    guarded([&] {
        connect_.IDTExtensibility2_OnConnection(std::make_shared<HostApplication>(state_), ConnectAtStartup);
        connected_ = true;
    });
    if (!connected_ || state_.web() == nullptr)
        return;
    guarded([&] { pressAddinButton(); });
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

void TerminalHost::pressAddinButton() {
    auto button = addinButton();
    if (!button)
        throw host::Failure(host::status::NotFound, "the add-in put no button into the Tools menu");
    state_.bars().press(*button);
}

std::shared_ptr<MemoryControl> TerminalHost::addinButton() {
    auto bar = state_.bars().bar("Menu Bar");
    auto tools = bar ? bar->childNamed("Tools") : nullptr;
    auto popup = tools ? tools->childNamed("Talvo Add-ins") : nullptr;
    return popup ? popup->childNamed(addin::ButtonCaption) : nullptr;
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
        messageBox(error_, std::string(window::layout::MessageTitle), 16);
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
    note_ = first + (more > 0 ? " (and " + std::to_string(more) + " more: F2 reads them)" : "");
    if (more > 0)
        noteWhole_ = warnings;
}

void TerminalHost::run() {
    while (!quit_ && !quitRequested()) {
        draw();
        const Key key = screen_.read();
        if (key.kind == Key::Kind::None || key.kind == Key::Kind::Resize)
            continue;
        // F2 reads the note on the status line whole, however long; it stays there after.
        if (key.is(Fn::F2) && !note_.empty()) {
            messageBox(noteWhole_.empty() ? note_ : noteWhole_, "Note", 64);
            continue;
        }
        error_.clear();
        note_.clear();
        noteWhole_.clear();
        guarded([&] { handle(key); });
        dropTreeCaches();
        afterEvent();
    }
}

bool TerminalHost::runModal(ModalScreen& modal) {
    std::string saved = std::exchange(modalHints_, modal.hints(screen_));
    const auto restoreHints = host::scopeExit([&] { modalHints_ = std::move(saved); });
    while (!quitRequested()) {
        draw(modal.openBarTitle());
        if (!modal.draw(screen_))
            return true;
        screen_.show();
        const Key key = screen_.read();
        if (key.kind == Key::Kind::None)
            continue;
        if (!modal.key(screen_, key))
            return true;
    }
    return false;
}

std::optional<std::string> TerminalHost::prompt(const std::string& title, const std::string& label,
                                                const std::string& initial, bool completeFolders) {
    PromptScreen prompt(title, label, initial, completeFolders);
    const bool answered = runModal(prompt);
    screen_.hideCursor();
    return answered ? prompt.result() : std::nullopt;
}

void TerminalHost::showHelp() {
    HelpScreen help(screen_.unicode());
    runModal(help);
}

// --- window services ----------------------------------------------------------------------------

bool TerminalHost::popUpMenu(bool checked, float x, float y) {
    std::vector<std::string> entries{std::string(checked ? screen_.symbol("\u2713 ", "* ") : "  ") +
                                     std::string(window::layout::mnuNoPublishCaption)};
    // On a file, the host's own entry for every file of its kind, in the direction the file would go.
    const host::Node* selected = form() != nullptr ? form()->tree().selected() : nullptr;
    const std::string kind =
        selected != nullptr && selected->parent() != nullptr && !webtree::isFolderNode(*selected)
            ? extensionOf(selected->text())
            : std::string();
    if (!kind.empty())
        entries.push_back(std::string("  ") + (checked ? "Publish" : "Don't Publish") + " all *." + kind +
                          " files");
    PopupMenu menu(std::move(entries), x, y, [this] {
        const WindowLayout l = layout();
        return std::pair(l.treeTop, l.treeLeft);
    });
    if (!runModal(menu) || !menu.chosen())
        return false;
    if (*menu.chosen() == 1) {
        // The add-in's command is not chosen; the host runs its own once the menu has closed.
        allOfKind_ = AllOfKind{kind, checked};
        return false;
    }
    if (!lockForChoice())
        return false;
    beforeChoice(checked);
    return true;
}

void TerminalHost::messageBox(const std::string& text, const std::string& title, int style) {
    MessageScreen message(text, title, style);
    runModal(message);
}

void TerminalHost::show() {
    window::frmMain* f = form();
    if (f == nullptr)
        return;
    windowShown_ = true;
    lastUndo_.clear();
    focus_ = Focus::Tree;
    windowWeb_ = state_.web() != nullptr ? state_.web()->webPath() : std::filesystem::path();
    dropTreeCaches();
    // The pages are read once per window; a page that cannot be read turns the warnings off, not the window.
    try {
        links_ = state_.web() != nullptr ? LinkWarnings::build(f->tree(), *state_.web()) : LinkWarnings();
        if (const auto& deep = links_.pagesReadTagByTag(); !deep.empty())
            note_ = deep.front() +
                    (deep.size() > 1 ? " (and " + std::to_string(deep.size() - 1) + " more)" : "") +
                    " nests its elements too deep to read as a browser does: its links were read tag by tag";
    } catch (const std::exception& e) {
        links_ = LinkWarnings();
        note_ = std::string("no link warnings: ") + e.what();
    }
    if (!view_) {
        view_ = std::make_unique<TreeView>(f->tree());
        f->tree().setListener([this] {
            treeChanged_ = true;
            dropTreeCaches();
        });
    }
    view_->resetScroll();
    view_->ensureSelection();
    afterFill();
}

void TerminalHost::afterFill() {
    if (host::disk::DiskApplication* web = state_.web()) {
        try {
            filledAt_ = web->changeCount();
        } catch (const host::Failure&) {
            filledAt_ = 0; // the next choice says what is wrong with the lock
        }
        // Said after the fill that read them; the next fill reads every mark again.
        if (const auto& unreadable = web->unreadableMarks(); !unreadable.empty()) {
            note_ = app::describeUnreadableMarks(unreadable);
            web->forgetUnreadableMarks();
        }
    }
}

void TerminalHost::hide() {
    windowShown_ = false;
    focus_ = Focus::Tree;
}

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
