#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// "Did you mean ...": the one measure of how near a mistyped word is to a known one, for commands, options
// and items alike.
namespace app {

// The number of single-character insertions, deletions and substitutions between the two words.
std::size_t editDistance(std::string_view a, std::string_view b);

// The nearest of the candidates that `offer` hands out one by one, within two edits and nearer than the
// candidate is long; none when no candidate is that near. The first of equally near ones wins.
std::optional<std::string>
nearestOf(std::string_view word,
          const std::function<void(const std::function<void(std::string_view)>&)>& offer);

} // namespace app
