#pragma once

#include "app/Commands.h"

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

// The command nearest to a mistyped one, when one is near enough to be meant.
std::optional<std::string> nearestCommand(const std::string& word);

} // namespace app
