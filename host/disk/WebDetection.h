#pragma once

#include "host/disk/DiskWeb.h"

#include <filesystem>
#include <ostream>
#include <string>

namespace host::disk {

// True when the folder holds the editor's bookkeeping somewhere: a "_vti_pvt" or "_vti_cnf" folder at
// any depth. Symbolic links are not followed. Walks the folders as the disk web lists them (so at any
// depth), and stops at the first such folder.
bool looksLikeAWeb(const std::filesystem::path& folder);

// For the commands that only read, once the web was filled (every folder listed): says on `warnings`
// when the folder is no web, whose items then all show published.
void warnWhenNotAWeb(const DiskApplication& web, const std::string& given, std::ostream& warnings);

} // namespace host::disk
