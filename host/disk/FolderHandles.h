#pragma once

#include "host/disk/Descriptor.h"

#include <cstddef>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

// The web's folders as open directory descriptors, each opened from its parent's with O_NOFOLLOW, from
// the web's root down. A folder's path is never resolved as a whole, so a folder swapped for a symbolic
// link after it was listed can neither lead a read or a write outside the web nor be mistaken for the
// folder it replaced, and no path-length limit applies however deep the web is.
namespace host::disk {

class FolderHandles {
  public:
    struct Folder {
        Folder* parent = nullptr;
        std::string name; // "" for the web's root
        std::size_t depth = 0;
        std::unordered_map<std::string, std::unique_ptr<Folder>> children;
        // Open descriptors; closed again when too many are open (see limit), reopened from the parent's.
        Descriptor fd;
        std::shared_ptr<Descriptor> metadataFolder; // "_vti_cnf", once opened
        std::list<Folder*>::iterator recent;
        bool isOpen = false;
    };

    // root: the web's root folder, already open; shown: its path for messages.
    FolderHandles(Descriptor root, std::string shown);
    FolderHandles(const FolderHandles&) = delete;
    FolderHandles& operator=(const FolderHandles&) = delete;

    Folder& root() { return root_; }
    // The entry for a folder below `parent`; nothing is opened yet.
    Folder& child(Folder& parent, std::string_view name);

    // The folder's descriptor, opening it (and any evicted folder above it) from the nearest open one.
    // Throws host::Failure when a step is no longer a real folder of the web.
    int open(Folder& folder);
    // The folder's "_vti_cnf" descriptor, or -1 when it does not exist; create makes it when missing.
    // Throws host::Failure when it is something other than a real folder, or cannot be opened or made.
    std::shared_ptr<Descriptor> metadataFolder(Folder& folder, bool create);

    // Closes every descriptor but the root's, so that the next use resolves each folder afresh.
    void forget();

    // The folder's path below the web, "/" between names.
    static std::string relativePath(const Folder& folder);
    std::string shownPath(const Folder& folder) const;

  private:
    void touch(Folder& folder);
    void close(Folder& folder);
    int openOne(Folder& folder);

    static constexpr std::size_t OpenLimit = 64; // folders with open descriptors, besides the root

    Folder root_;
    std::string shownRoot_;
    std::list<Folder*> recent_; // most recently used first
};

} // namespace host::disk
