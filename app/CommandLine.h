#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace app {

// Opens the publishing window on a web (none: the bundled sample web); returns the exit status.
using WindowOpener = std::function<int(const std::optional<std::string>& web)>;

// The varnook command line: parses the arguments, runs the command and returns the exit status (0, 1 for
// a failure, 2 for a usage mistake). With no command it hands over to `openWindow`.
int runCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                   const WindowOpener& openWindow);

} // namespace app
