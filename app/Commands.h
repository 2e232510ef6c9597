#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace app {

// A command-line mistake the user can correct: exit status 2.
struct UsageError {
    std::string message;
};

// Each command prints its result on `out`, says what it left out on `warnings`, and throws
// host::Failure (exit status 1) or UsageError (exit status 2).
void runTree(const std::string& webPath, bool tsv, std::ostream& out, std::ostream& warnings);
void runToggle(const std::string& webPath, const std::vector<std::string>& items, bool tsv, std::ostream& out,
               std::ostream& warnings);

enum class ExcludedFormat { List, Rsync, Gitignore };
// Writes every image of the window's image list as DIR/<key>.png, and the window's icon as DIR/icon.png.
void runIcons(const std::string& dir, std::ostream& out);

// The pattern of a .gitignore line (after its leading "/") that matches exactly the path.
std::string escapePattern(const std::string& path);
// The pattern of an rsync filter rule (after its "- /") that matches exactly the path.
std::string rsyncPattern(const std::string& path);

void runExcluded(const std::string& webPath, ExcludedFormat format, std::ostream& out,
                 std::ostream& warnings);

} // namespace app
