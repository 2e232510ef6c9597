#pragma once

// The terminal is put back as it was found however the program ends: by return, by an exception nothing
// catches, or by a signal. Quit signals (SIGINT, SIGTERM, SIGHUP) end the event loops instead of the
// process; every other signal that ends a program restores the terminal first and then ends it as its
// own default action would.
namespace terminal::restore {

// Before curses starts: the quit signals are caught and the terminal's modes are kept as found.
void beforeCurses();
// Once curses runs: a fatal signal or an uncaught exception now puts the terminal back first.
void cursesStarted();
// After curses ended, or failed to start: every handler as it was before beforeCurses().
void cursesEnded();
// The terminal went away (its window closed, its tmux server killed) without a signal reaching us.
void inputGone();

} // namespace terminal::restore
