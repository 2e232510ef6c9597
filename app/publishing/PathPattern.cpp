#include "app/publishing/PathPattern.h"

#include <fnmatch.h>
#include <stdexcept>

namespace app {
namespace {

// An unclosed "[" or a "\" with nothing after it: fnmatch would take them literally, silently.
void checkStep(std::string_view step, std::string_view whole) {
    for (std::size_t i = 0; i < step.size(); ++i) {
        if (step[i] == '\\') {
            if (++i == step.size())
                throw std::invalid_argument("the pattern '" + std::string(whole) + "' ends in a lone '\\'");
        } else if (step[i] == '[') {
            std::size_t j = i + 1;
            if (j < step.size() && (step[j] == '!' || step[j] == '^'))
                ++j;
            if (j < step.size() && step[j] == ']')
                ++j;
            while (j < step.size() && step[j] != ']')
                ++j;
            if (j == step.size())
                throw std::invalid_argument("the pattern '" + std::string(whole) +
                                            "' has a '[' without its ']'");
            i = j;
        }
    }
}

} // namespace

PathPattern::PathPattern(std::string_view text) : text_(text) {
    if (text.empty())
        throw std::invalid_argument("an empty pattern matches nothing");
    if (text.find('\0') != std::string_view::npos)
        throw std::invalid_argument("a pattern cannot hold a NUL character");
    if (text.front() == '!')
        throw std::invalid_argument("the pattern '" + text_ +
                                    "' starts with '!': patterns that take items back are not supported "
                                    "(write '\\!' for a name that starts with '!')");
    std::string_view rest = text;
    if (rest.back() == '/') {
        foldersOnly_ = true;
        rest.remove_suffix(1);
    }
    // A "/" anywhere but at the end anchors the pattern at the web's top; otherwise it matches at any depth.
    const bool anchored = rest.find('/') != std::string_view::npos;
    if (!rest.empty() && rest.front() == '/')
        rest.remove_prefix(1);
    if (rest.empty())
        throw std::invalid_argument("the pattern '" + text_ + "' names no item");
    if (!anchored)
        steps_.emplace_back("**");
    for (std::size_t start = 0; start <= rest.size();) {
        const std::size_t slash = std::min(rest.find('/', start), rest.size());
        const std::string_view step = rest.substr(start, slash - start);
        start = slash + 1;
        if (step.empty())
            throw std::invalid_argument("the pattern '" + text_ + "' has an empty step ('//')");
        checkStep(step, text_);
        steps_.emplace_back(step);
    }
}

bool PathPattern::matches(std::string_view path, bool folder) const {
    if (foldersOnly_ && !folder)
        return false;
    std::vector<std::string_view> names;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        names.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    // The steps of the pattern that the names so far can have reached, walked name by name: no
    // backtracking, so a long path or many "**" cost no more than their product.
    std::vector<bool> reached(steps_.size() + 1, false);
    auto close = [&](std::vector<bool>& states) {
        // "**" may span no folder at all, except at the end: "drafts/**" is what lies inside drafts.
        for (std::size_t i = 0; i + 1 < steps_.size(); ++i) {
            if (states[i] && steps_[i] == "**")
                states[i + 1] = true;
        }
    };
    reached[0] = true;
    close(reached);
    for (const std::string_view name : names) {
        std::vector<bool> next(steps_.size() + 1, false);
        const std::string nameText(name);
        for (std::size_t i = 0; i < steps_.size(); ++i) {
            if (!reached[i])
                continue;
            if (steps_[i] == "**") {
                next[i] = true;
                if (i + 1 == steps_.size())
                    next[i + 1] = true;
            } else if (::fnmatch(steps_[i].c_str(), nameText.c_str(), 0) == 0) {
                next[i + 1] = true; // as in git, "*" matches a leading "." too
            }
        }
        close(next);
        reached = std::move(next);
    }
    return reached[steps_.size()];
}

} // namespace app
