#pragma once

#include "app/terminal/ModalScreen.h"

#include <string>

namespace terminal {

// A message box: its text wrapped to the screen, the style's icon, and an OK button.
class MessageScreen final : public ModalScreen {
  public:
    // style: the message box style's icon bits (16 stop, 32 question, 48 exclamation, 64 information).
    MessageScreen(std::string text, std::string title, int style);

    std::string hints(const Screen&) const override { return "Enter, Space or Esc closes the message"; }
    bool draw(Screen& screen) override;
    bool key(Screen& screen, const Key& key) override;

  private:
    static constexpr std::string_view OkText = "[ OK ]";

    std::string text_, title_;
    std::string icon_;
    Style iconStyle_ = Style::Exclamation;
    int okY_ = 0, okX_ = 0;
};

} // namespace terminal
