#include "app/cli/Suggestions.h"

#include <algorithm>
#include <vector>

namespace app {

std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::optional<std::string>
nearestOf(std::string_view word,
          const std::function<void(const std::function<void(std::string_view)>&)>& offer) {
    std::optional<std::string> best;
    std::size_t bestDistance = 3; // further than two edits is a different word
    offer([&](std::string_view candidate) {
        // Lengths further apart than the best so far cannot come nearer: most candidates cost nothing.
        const std::size_t apart =
            word.size() > candidate.size() ? word.size() - candidate.size() : candidate.size() - word.size();
        if (apart >= bestDistance)
            return;
        const std::size_t d = editDistance(word, candidate);
        if (d < bestDistance && d < candidate.size()) {
            best = std::string(candidate);
            bestDistance = d;
        }
    });
    return best;
}

} // namespace app
