// What a folder of the web shows and what kind each entry is: the one place that decides which names
// are items of the web, so a listing, a location and a write agree on it.
#pragma once

#include "host/disk/DiskWeb.h"
#include "host/disk/WebState.h"

#include <string_view>

namespace host::disk {

// Folders the editor hides, and its own "_vti_*" bookkeeping: never items of the web.
bool isHidden(std::string_view name);

// The marking code builds locations with "\" between names, so a name holding one cannot be told apart
// from a path; control characters would corrupt the metadata lines and the user's terminal.
bool holdsUnsafeCharacter(std::string_view s);

enum class Kind { None, Folder, File, Other };

// Symbolic links to folders are never followed, so no walk can leave the web or run in a loop. A link
// to a regular file counts as the file: its metadata lives beside the link and the target is never opened.
Kind kindAt(int dir, const char* name);

// The folder's names as the window shows them; what is left out is reported once on the warnings
// stream. Throws host::Failure when it cannot be listed, with NotFound when it is gone.
FolderListing list(WebState& state, HandleFolder& folder);

} // namespace host::disk
