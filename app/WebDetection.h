#pragma once

#include <filesystem>

namespace app {

// True when the folder holds the editor's bookkeeping somewhere: a "_vti_pvt" or "_vti_cnf" folder at
// any depth. Symbolic links are not followed.
bool looksLikeAWeb(const std::filesystem::path& folder);

} // namespace app
