#pragma once

#include "app/terminal/ModalScreen.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace terminal {

// A message box: its text wrapped to the screen, the style's icon, and its buttons (OK alone, or the
// answers to a question), the first one focused.
class MessageScreen final : public ModalScreen {
  public:
    // style: the message box style's icon bits (16 stop, 32 question, 48 exclamation, 64 information).
    MessageScreen(std::string text, std::string title, int style, std::vector<std::string> buttons = {"OK"});

    // The button chosen; none when the box was dismissed with Esc.
    std::optional<std::size_t> chosen() const { return chosen_; }

    std::string hints(const Screen&) const override;
    bool draw(Screen& screen) override;
    bool key(Screen& screen, const Key& key) override;

  private:
    struct Placed {
        int x = 0, width = 0;
    };

    std::string text_, title_;
    std::string icon_;
    Style iconStyle_ = Style::Exclamation;
    std::vector<std::string> buttons_;
    std::size_t focused_ = 0;
    int buttonsY_ = 0;
    std::vector<Placed> placed_;
    std::optional<std::size_t> chosen_;
};

} // namespace terminal
