// Any path of the web as `excluded` prints it: its .gitignore pattern and its rsync filter pattern each
// match exactly that path, read the way git and rsync read them.
#include "app/publishing/ExclusionRules.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

// The one name a glob pattern matches, or none when it matches more than one or is malformed: an escaped
// character and a one-character bracket stand for themselves; "*", "?" and wider brackets do not.
std::optional<std::string> onlyMatch(std::string_view pattern) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '\\') {
            if (++i == pattern.size())
                return std::nullopt;
            out += pattern[i];
        } else if (c == '*' || c == '?') {
            return std::nullopt;
        } else if (c == '[') {
            // "[x]" with x not "!", "^" or "]" is the one character x.
            if (i + 2 >= pattern.size() || pattern[i + 2] != ']' || pattern[i + 1] == '!' ||
                pattern[i + 1] == '^' || pattern[i + 1] == ']' || pattern[i + 1] == '\\')
                return std::nullopt;
            out += pattern[i + 1];
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

// git: trailing spaces are dropped unless escaped; a final "/" matches folders only; then glob rules.
std::optional<std::string> gitignoreMatch(std::string pattern) {
    while (!pattern.empty() && pattern.back() == ' ') {
        std::size_t backslashes = 0;
        for (std::size_t i = pattern.size() - 1; i > 0 && pattern[i - 1] == '\\'; --i)
            ++backslashes;
        if (backslashes % 2 == 1)
            break;
        pattern.pop_back();
    }
    if (!pattern.empty() && pattern.back() == '/')
        pattern.pop_back();
    return onlyMatch(pattern);
}

// rsync: a final "/" matches folders only; a pattern without "*", "?" or "[" is compared literally,
// any other by glob rules.
std::optional<std::string> rsyncMatch(std::string pattern) {
    if (!pattern.empty() && pattern.back() == '/')
        pattern.pop_back();
    if (pattern.find_first_of("*?[") == std::string::npos)
        return pattern;
    return onlyMatch(pattern);
}

// The web hands out only names without "\", control characters or empty, "." and ".." steps.
bool isWebPath(std::string_view path) {
    std::size_t start = 0;
    while (true) {
        const auto slash = path.find('/', start);
        const std::string_view name =
            path.substr(start, slash == std::string_view::npos ? path.npos : slash - start);
        if (name.empty() || name == "." || name == "..")
            return false;
        for (const char c : name)
            if (c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                return false;
        if (slash == std::string_view::npos)
            return true;
        start = slash + 1;
    }
}

void check(const char* format, const std::string& path, const std::string& pattern,
           const std::optional<std::string>& match) {
    if (match && *match == path)
        return;
    std::fprintf(stderr,
                 "pattern fuzzer: the %s pattern '%s' does not match exactly '%s' (it matches %s%s%s)\n",
                 format, pattern.c_str(), path.c_str(), match ? "only '" : "more than one name",
                 match ? match->c_str() : "", match ? "'" : "");
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte says whether the path is a folder's, which `excluded` prints with a final "/".
    const bool folder = (data[0] & 1) != 0;
    const std::string path(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (!isWebPath(path))
        return 0;
    // Both rules are anchored at the top ("/..." and "- /..."): the pattern is what follows the anchor.
    const std::string gitignore = app::gitignoreRule(path, folder).substr(1);
    check("gitignore", path, gitignore, gitignoreMatch(gitignore));
    const std::string rsync = app::rsyncExcludeRule(path, folder).substr(3);
    check("rsync", path, rsync, rsyncMatch(rsync));
    return 0;
}
