#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Whole metadata files by path, for putting back what a choice changed (undo). Reads and replacements go
// through the metadata folder's own descriptor, never through a symbolic link.
namespace terminal::metadata_files {

// Where the metadata of the file `name` in `folder`, or of `folder` itself, is kept.
std::filesystem::path ofFile(const std::filesystem::path& folder, std::string_view name);
std::filesystem::path ofFolder(const std::filesystem::path& folder);

// The file's bytes; none when it does not exist. Failure when it exists but cannot be read.
std::optional<std::string> read(const std::filesystem::path& path);

// Replaces the file whole (old bytes or new ones after a crash, never a mix), creating its metadata
// folder when missing. Failure when it cannot.
void replace(const std::filesystem::path& path, std::string_view bytes);

} // namespace terminal::metadata_files
