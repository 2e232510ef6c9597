#pragma once

#include <string>
#include <string_view>

// Rules that make rsync or git leave out one item of the web, matching its exact name whatever
// characters it holds.
namespace app {

// path: the item below the web, "/" between names; folder: match a folder only.
// An rsync filter rule, anchored at the top of the transfer: "- /docs/a.htm".
std::string rsyncExcludeRule(std::string_view path, bool folder);
// A .gitignore line, anchored at the top of the repository: "/docs/a.htm".
std::string gitignoreRule(std::string_view path, bool folder);

// The editor's bookkeeping at any depth: its folders ("_vti_cnf", "_vti_pvt", ...) and its files
// ("_vti_inf.html"), none of which the window shows or check counts as deployed.
inline constexpr std::string_view RsyncMetadataRule = "- _vti_*";
inline constexpr std::string_view GitignoreMetadataRule = "_vti_*";

} // namespace app
