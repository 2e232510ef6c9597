#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Files of a web read by their path below it ("/" between names), one name at a time from the web's
// folder and never through a symbolic link, so that neither a link nor a folder swapped for one leads a
// read outside the web, and no path-length limit applies however deep the web is.
namespace host::disk {

// The file's bytes. None when it is a symbolic link: such a page is not read. Throws host::Failure when it
// cannot be read, is no regular file, or the path holds an empty, "." or ".." name.
std::optional<std::string> readFileBelow(const std::filesystem::path& web, std::string_view rel);

// Whether the path names an entry of the web (a link counts as itself, and is not followed).
bool existsBelow(const std::filesystem::path& web, std::string_view rel);

} // namespace host::disk
