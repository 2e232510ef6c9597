#pragma once

#include "app/terminal/Screen.h"

#include <cstddef>
#include <optional>
#include <string>

namespace terminal {

// A screen that sits over the window until it is done with: a menu, a prompt, a message, the help. Each
// keeps its own state; the host's one modal loop (TerminalHost::runModal) draws the window beneath it,
// then the screen, reads a key and hands it over, and stops for a quit signal as every loop does.
class ModalScreen {
  public:
    virtual ~ModalScreen() = default;

    // What the bottom line offers while the screen is open.
    virtual std::string hints(const Screen& screen) const = 0;
    // The menu bar's title shown open beneath the screen, if any.
    virtual std::optional<std::size_t> openBarTitle() const { return std::nullopt; }
    // Lays itself out for the terminal's size now and draws over the window; false when it cannot be
    // shown at that size, which closes it.
    virtual bool draw(Screen& screen) = 0;
    // Takes one key, mouse event or resize; false when the screen is done.
    virtual bool key(Screen& screen, const Key& key) = 0;
};

} // namespace terminal
