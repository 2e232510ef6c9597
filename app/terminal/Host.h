#pragma once

#include <optional>
#include <ostream>
#include <string>

// The terminal host: a small stand-in for the web-site editor, with a menu bar, one open web and the
// add-in connected through its own Connect code, which puts its button into the Tools menu.
namespace terminal {

// Runs the host on the web at `web`, or on the user's copy of the bundled sample web. Returns the exit
// status: 2 without a terminal, 1 when the web cannot be opened (said on `err` before the screen is
// touched), 0 when the user quits. A quit signal ends the program by that signal once the terminal is
// restored and the add-in disconnected.
int runHost(const std::optional<std::string>& web, std::ostream& err);

} // namespace terminal
