#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace app {

// A gitignore-style pattern over the paths of a web's items ("/" between names, relative to the web):
// "*.psd" matches a name at any depth, a pattern with a "/" inside ("drafts/*.htm") is anchored at the
// web's top, "**" spans any number of folders, and a trailing "/" matches folders only. Within a name,
// "*", "?", "[...]" and "\" work as in the shell. Negation ("!") is not taken.
class PathPattern {
  public:
    // Throws std::invalid_argument naming what is wrong with the pattern.
    explicit PathPattern(std::string_view text);

    const std::string& text() const { return text_; }
    bool matches(std::string_view path, bool folder) const;

  private:
    std::string text_;
    std::vector<std::string> steps_; // "**" for any number of folders
    bool foldersOnly_ = false;
};

} // namespace app
