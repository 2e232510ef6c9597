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
// What varnook itself keeps among the editor's metadata, which a deploy that keeps the metadata must still
// leave out: the web's lock file and temporary metadata files ('.varnook\<pid>-<n>.tmp') that a killed
// writer left behind. In both kinds of rules a backslash before a backslash matches one.
inline constexpr std::string_view RsyncOwnFilesRules = "- /_vti_pvt/varnook.lock\n- .varnook\\\\*.tmp";
inline constexpr std::string_view GitignoreOwnFilesRules = "/_vti_pvt/varnook.lock\n.varnook\\\\*.tmp";
// Version control's folders at any depth (and git's ".git" file in a worktree), which the window does not
// show: never part of the site, whatever is kept of the metadata.
inline constexpr std::string_view RsyncVersionControlRules = "- .git\n- .hg\n- .svn";
inline constexpr std::string_view GitignoreVersionControlRules = ".hg\n.svn";

} // namespace app
