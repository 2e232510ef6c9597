// How a path below the web becomes a folder of its handles: walks that start from the last folder found
// rather than from the root, and the checks that keep a path from stepping outside the web.
#pragma once

#include "host/disk/DiskProperties.h"
#include "host/disk/WebState.h"

#include <memory>
#include <optional>
#include <string_view>
#include <utility>

namespace host::disk {

// Where a walk to the folder at `rel` below the web may start: the folder last walked to when `rel` lies
// below or above it, else the root; with what is left to walk from there.
std::pair<HandleFolder*, std::string_view> walkStart(const WalkedTo& last, HandleFolder& root,
                                                     std::string_view rel);

// A path below a folder with "/" between names and no empty, "." or ".." step.
bool isPlainPath(std::string_view path);

// A place below the web given by its path: the folder it lies in (from the web's root down, through the
// web's folder handles) and its name there (empty for the web itself). Null when a name of it is empty,
// "." or "..". Nothing is opened: only the folder entries are found or made.
std::optional<std::pair<HandleFolder*, std::string_view>> placeBelow(WebState& state, std::string_view rel);

// The properties of one item found by its place below the web rather than by a listing: its folder's path
// ("" for the web, "/" between names) and its name in that folder ("" for the folder itself).
DiskProperties propertiesAt(const std::shared_ptr<WebState>& state, std::string_view folder,
                            std::string_view file);

} // namespace host::disk
