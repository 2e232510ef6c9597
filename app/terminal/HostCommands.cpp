#include "app/terminal/MessageScreen.h"
#include "app/terminal/PathCompletion.h"
#include "app/terminal/TerminalHost.h"
#include "host/disk/WebDetection.h"

#include <filesystem>
#include <system_error>
#include <unistd.h>

// What the host's own File menu does: open a web, close it, end the program.
namespace terminal {

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
    // The window stays, as the editor leaves an add-in's window open; its choices then fail with a
    // message instead of marking items of a web that is no longer open.
    state_.closeWeb();
    if (windowUp())
        note_ = "closed the web; the window stays, but choices in it need an open web";
}

void TerminalHost::openWebFromPrompt() {
    std::string initial;
    if (auto* web = state_.web())
        initial = web->webPath().string();
    else if (char cwd[4096]; ::getcwd(cwd, sizeof cwd) != nullptr)
        initial = std::string(cwd) + "/";
    const auto path = prompt("Open Web", "Folder of the web:", initial, /*completeFolders=*/true);
    if (!path || path->empty())
        return;
    const std::filesystem::path folder = expandHome(*path);
    // As the command line asks for --init: a choice in a folder that is no web would make it one unasked.
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec) && !host::disk::looksLikeAWeb(folder)) {
        MessageScreen question(
            "'" + folder.string() +
                "' is not a web (no _vti_pvt or _vti_cnf folder in it). Make it one? Choices "
                "in it then write the editor's metadata folders into it.",
            "Open Web", 32, {"Make it a web", "Cancel"});
        if (!runModal(question) || question.chosen() != 0) {
            note_ = "did not open " + folder.string() + ": it is not a web";
            return;
        }
    }
    // A web that cannot be opened leaves the open web and its window as they were.
    state_.openWeb(folder);
    closeWindow();
    // The history's files belong to the web it was made in.
    if (state_.web()->webPath() != windowWeb_)
        history_.clear();
    note_ = "Opened the web " + state_.web()->webPath().string();
    // As pressing the add-in's button does: the window on the web just opened.
    if (connected_)
        pressAddinButton();
}

} // namespace terminal
