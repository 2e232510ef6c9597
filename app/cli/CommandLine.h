#pragma once

#include "app/cli/Commands.h"

#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace app {

// What the command line asks for.
struct Invocation {
    enum Kind {
        Done,   // help or the version, already printed
        Window, // no command: the terminal window on `web` (or the sample web)
        Run,    // a command: `run`
    } command = Done;
    std::optional<std::string> web;
    std::function<Outcome(std::ostream& out, std::ostream& warnings)> run;
};

// Parses the arguments; help and the version go to `out`. A mistake throws UsageError with a message
// of one line.
Invocation parseCommandLine(int argc, char** argv, std::ostream& out);

// Opens the publishing window on a web (none: the bundled sample web); returns the exit status.
using WindowOpener = std::function<int(const std::optional<std::string>& web)>;

// The whole command line: parses the arguments, runs the command with its output gathered in `out` (the
// caller writes it, and checks that write) and returns the exit status: 0, 1 for a failure, 2 for a usage
// mistake, each failure with its one line on `err`. With no command it hands over to `openWindow`.
// webChanged: set when the command changed the web, whatever its status.
int runCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                   const WindowOpener& openWindow, bool* webChanged = nullptr);

// The command nearest to a mistyped one, when one is near enough to be meant.
std::optional<std::string> nearestCommand(const std::string& word);

} // namespace app
