#include "app/terminal/PathCompletion.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace terminal {
namespace fs = std::filesystem;

std::string expandHome(const std::string& path) {
    if (path == "~" || path.rfind("~/", 0) == 0) {
        if (const char* home = std::getenv("HOME"); home != nullptr)
            return std::string(home) + path.substr(1);
    }
    return path;
}

Completion completeFolder(std::string_view typed) {
    Completion result{std::string(typed), {}};
    const auto slash = typed.rfind('/');
    const std::string folder = slash == std::string_view::npos ? "" : std::string(typed.substr(0, slash + 1));
    const std::string part = std::string(slash == std::string_view::npos ? typed : typed.substr(slash + 1));
    const fs::path where = folder.empty() ? fs::path(".") : fs::path(expandHome(folder));

    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(where, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_directory(typeError))
            continue;
        const std::string name = it->path().filename().string();
        if (name.rfind(part, 0) != 0 || (name[0] == '.' && (part.empty() || part[0] != '.')))
            continue;
        names.push_back(name);
    }
    if (names.empty())
        return result;
    std::sort(names.begin(), names.end());
    if (names.size() == 1) {
        result.text = folder + names.front() + "/";
        return result;
    }
    std::string common = names.front();
    for (const auto& name : names) {
        const auto diff = std::mismatch(common.begin(), common.end(), name.begin(), name.end());
        common.erase(diff.first, common.end());
    }
    result.text = folder + common;
    result.candidates = std::move(names);
    return result;
}

} // namespace terminal
