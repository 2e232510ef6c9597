// What every object handed out for a disk web shares: its folders, its pending changes and the write
// lock's session. Internal to the disk web; its files each work on a part of this state.
#pragma once

#include "host/disk/Descriptor.h"
#include "host/disk/FolderHandles.h"
#include "host/disk/Metadata.h"
#include "host/disk/WriteBatch.h"

#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace host::disk {

using HandleFolder = FolderHandles::Folder;

// A folder reached by a walk from the web's root, and its path below the web.
struct WalkedTo {
    HandleFolder* folder = nullptr;
    std::string rel;
};

struct WebState {
    std::filesystem::path root; // resolved
    std::string url;
    std::ostream& warnings;
    FolderHandles folders;
    std::set<std::string> warned; // entries already reported as left out
    // Keyed by the metadata file a change finally lands in: its folder and its name.
    std::map<std::pair<const HandleFolder*, std::string>, std::vector<metadata::Change>> pending;
    // While the write lock is held: the batch of replacements, and the metadata folders already tidied.
    std::unique_ptr<WriteBatch> batch;
    std::unordered_set<const HandleFolder*> tidied;
    // The lock file while the lock is held, and whether it says that temporary files are being written.
    int lockFd = -1;
    bool writingAnnounced = false;
    // The folder of the last location found (opened and checked at each step), and of the last place
    // named by a path (its entry only), so that walking a tree of nodes or a deep web's metadata files
    // finds each from its neighbour instead of from the root: linear in depth, not quadratic.
    WalkedTo lastFolder;
    WalkedTo lastPlace;
    // The folder part of the last location found, already checked for empty, "." and ".." steps.
    std::string checkedFolderRel;
    bool editorFoldersSeen = false;                // a "_vti_pvt" or "_vti_cnf" folder in a listing so far
    std::map<std::string, std::string> unreadable; // items whose metadata could not be read, with why

    WebState(std::filesystem::path r, std::string u, std::ostream& w, Descriptor rootFd)
        : root(std::move(r)), url(std::move(u)), warnings(w), folders(std::move(rootFd), url) {}
};

inline std::string urlOf(const WebState& state, const std::string& rel) {
    return rel.empty() ? state.url : state.url + "/" + rel;
}

} // namespace host::disk
