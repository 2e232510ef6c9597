#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

// Metadata files read and replaced inside an open "_vti_cnf" folder, never through a path: a name is
// always looked up in the folder descriptor the caller holds, and never through a symbolic link.
namespace host::disk::metadata {

// A metadata file holds a few hundred bytes; one beyond this is no metadata file to read whole.
inline constexpr std::size_t MaxBytes = 1024 * 1024;

// The bytes of `name` in the folder `dir`; none when there is no such file. Failure when it exists but is
// not a regular file (a folder, FIFO, socket, device or link), holds more than MaxBytes, or cannot be read.
// shown: the file as messages name it, asked for only when there is something to say.
using Shown = std::function<std::string()>;
std::optional<std::string> readAt(int dir, const std::string& name, const Shown& shown);

// Writes `bytes` to a new temporary file in `dir` that is to replace `name`, and returns its name. The new
// file takes the owner, group and mode of the one it replaces; a first one takes the folder's owner.
// syncData: its bytes reach the disk before this returns. Failure when `name` exists as something other
// than a regular file, or the file cannot be written; then nothing is left behind.
std::string writeTemporaryAt(int dir, const std::string& name, std::string_view bytes, bool syncData,
                             const Shown& shown);

// Ours, as writeTemporaryAt names them: ".varnook\\<pid>-<n>.tmp".
bool isTemporaryName(std::string_view name);
// Removes our temporary files left in `dir` by a writer that was killed, except those named in `keep`.
// Only safe while holding the web's write lock, when no other writer can be using one.
void removeStaleTemporariesAt(int dir, const std::set<std::string>& keep);

} // namespace host::disk::metadata
