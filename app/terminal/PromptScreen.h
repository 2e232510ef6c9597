#pragma once

#include "app/terminal/LineEdit.h"
#include "app/terminal/ModalScreen.h"

#include <optional>
#include <string>
#include <vector>

namespace terminal {

// A one-line prompt with the line editor's keys; with folder completion, Tab completes a folder's name
// and lists the candidates when more than one fits.
class PromptScreen final : public ModalScreen {
  public:
    PromptScreen(std::string title, std::string label, const std::string& initial, bool completeFolders)
        : title_(std::move(title)), label_(std::move(label)), edit_(initial),
          completeFolders_(completeFolders) {}

    // The text entered, or none when the prompt was cancelled.
    const std::optional<std::string>& result() const { return result_; }

    std::string hints(const Screen&) const override;
    bool draw(Screen& screen) override;
    bool key(Screen& screen, const Key& key) override;

  private:
    std::string title_, label_;
    LineEdit edit_;
    bool completeFolders_;
    std::vector<std::string> candidates_; // after a Tab that found more than one folder
    std::optional<std::string> result_;
};

} // namespace terminal
