#pragma once

#include <filesystem>
#include <ostream>
#include <string>

namespace app {

// True when the folder holds the editor's bookkeeping somewhere: a "_vti_pvt" or "_vti_cnf" folder at
// any depth. Symbolic links are not followed.
bool looksLikeAWeb(const std::filesystem::path& folder);

// For the commands that only read: says on `warnings` when the folder is no web, whose items then all
// show published.
void warnWhenNotAWeb(const std::filesystem::path& folder, const std::string& given, std::ostream& warnings);

} // namespace app
