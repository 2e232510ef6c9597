#pragma once

#include "app/terminal/ModalScreen.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace terminal {

// The help: every key of the window and what each sign of the tree means, in its colour; it scrolls.
class HelpScreen final : public ModalScreen {
  public:
    struct HelpLine {
        std::string_view imageKey; // a glyph of the tree before the text; empty for none
        std::string text;
    };

    explicit HelpScreen(bool unicode);

    std::string hints(const Screen&) const override {
        return "Up Down PgUp PgDn Home End scroll  q, Esc or any other key closes the help";
    }
    bool draw(Screen& screen) override;
    bool key(Screen& screen, const Key& key) override;

  private:
    std::vector<HelpLine> lines_;
    std::size_t first_ = 0; // the first line shown
    std::size_t shown_ = 0; // how many lines fit
};

} // namespace terminal
