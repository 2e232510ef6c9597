#pragma once

#include "host/disk/DiskWeb.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Whole metadata files named by their path, for putting back what a choice changed (undo). The path only
// names the file: it is read and replaced through the disk web's folder descriptors from the web's root
// down, never through a symbolic link, so a folder swapped for a link meanwhile cannot lead outside.
namespace terminal::metadata_files {

// Where the metadata of the file `name` in `folder`, or of `folder` itself, is kept.
std::filesystem::path ofFile(const std::filesystem::path& folder, std::string_view name);
std::filesystem::path ofFolder(const std::filesystem::path& folder);

// The file's bytes; none when it (or its folder) does not exist. Failure when it exists but cannot be read,
// or the path names no metadata file of the web.
std::optional<std::string> read(host::disk::DiskApplication& web, const std::filesystem::path& path);

// Gives the file these bytes (old bytes or new ones after a crash, never a mix), creating its metadata
// folder when missing, or removes it (none). Needs the web's write lock. Failure when it cannot.
void replace(host::disk::DiskApplication& web, const std::filesystem::path& path,
             const std::optional<std::string>& bytes);

} // namespace terminal::metadata_files
