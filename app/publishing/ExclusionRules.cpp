#include "app/publishing/ExclusionRules.h"

namespace app {
namespace {

bool isWildcard(char c) {
    return c == '*' || c == '?' || c == '[';
}

} // namespace

std::string rsyncExcludeRule(std::string_view path, bool folder) {
    // rsync matches a pattern without "*", "?" or "[" as plain text, where a backslash is just a
    // backslash; only a pattern with one of them is a wildcard pattern, where "\" escapes. A name that
    // ends in a space is written "[ ]" so that no editor or tool trimming the line changes the rule.
    bool wildcard = path.find_first_of("*?[") != std::string_view::npos;
    std::size_t spaces = 0;
    while (spaces < path.size() && path[path.size() - 1 - spaces] == ' ')
        ++spaces;
    wildcard = wildcard || spaces > 0;
    std::string rule = "- /";
    if (!wildcard) {
        rule += path;
    } else {
        for (std::size_t i = 0; i < path.size(); ++i) {
            const char c = path[i];
            if (i >= path.size() - spaces)
                rule += "[ ]";
            else if (isWildcard(c) || c == '\\')
                rule += std::string("\\") + c;
            else
                rule += c;
        }
    }
    if (folder)
        rule += '/';
    return rule;
}

std::string gitignoreRule(std::string_view path, bool folder) {
    // git always reads patterns as wildcards with "\" escaping, and drops trailing spaces unless each is
    // escaped. "#" and "!" matter only at the start of a line, which here is always "/".
    std::size_t spaces = 0;
    while (spaces < path.size() && path[path.size() - 1 - spaces] == ' ')
        ++spaces;
    std::string rule = "/";
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (isWildcard(c) || c == '\\' || (i >= path.size() - spaces && !folder))
            rule += '\\';
        rule += c;
    }
    if (folder)
        rule += '/';
    return rule;
}

} // namespace app
