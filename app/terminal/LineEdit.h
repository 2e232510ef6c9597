#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The one-line input of a prompt, with the editing keys of a shell's line editor.
namespace terminal {

class LineEdit {
  public:
    explicit LineEdit(std::string_view initial = {});

    std::string text() const;
    std::size_t cursor() const { return cursor_; } // in characters

    void insert(char32_t c);
    void backspace();
    void erase(); // the character under the cursor
    void left();
    void right();
    void home();
    void end();
    void killToEnd();
    void killToStart();
    void killWordBack();

    // What a field `width` columns wide shows: it scrolls sideways to keep the cursor in view.
    struct View {
        std::string text;
        int cursorColumn = 0;
    };
    View view(int width) const;

  private:
    std::u32string chars_;
    std::size_t cursor_ = 0;
};

} // namespace terminal
