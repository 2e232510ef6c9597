#pragma once

#include "host/disk/DiskWeb.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Undo and redo of the window's "Don't Publish" choices. A choice is kept as the bytes of every metadata
// file it changed, before and after, so undoing gives each file back exactly what it held (or removes it
// again) without going through the marking rules a second time.
namespace terminal {

// The metadata files a choice on an item can change: those of the folders from the web's root down to it,
// the item's own, and for a folder those of everything beneath it. Each folder is named by its parent and
// its name rather than by its whole path: a web thousands of folders deep would otherwise take the square
// of its depth in bytes to name them.
class ChoiceFiles {
  public:
    using FolderId = std::uint32_t;
    static constexpr FolderId Web = 0;

    // Lists the folders beneath a chosen folder through `web`. `parts` are the item's names below the web
    // (not empty). Throws host::Failure when a folder cannot be listed.
    static ChoiceFiles of(host::disk::DiskApplication& web, const std::vector<std::string>& parts,
                          bool folder);
    // The own metadata files of several files chosen together (all the files of one kind, say); no folder
    // is chosen. Each item is its names below the web.
    static ChoiceFiles ofFiles(const std::vector<std::vector<std::string>>& items);

    std::size_t size() const { return files_.size(); }
    // The chosen folder; none when a file was chosen.
    std::optional<FolderId> chosenFolder() const { return chosen_; }
    FolderId folderOf(std::size_t file) const { return files_[file].folder; }
    // The name of the item whose file it is in its folder; empty for the folder's own file.
    const std::string& nameOf(std::size_t file) const { return files_[file].name; }
    FolderId parentOf(FolderId folder) const { return folders_[folder].parent; }
    // The folder's own file; none when it is not among them.
    std::optional<std::size_t> ownFileOf(FolderId folder) const;

    // Calls `visit` with each file of `which` (ascending indices), its folder's path below the web ("" for
    // the web, "/" between names) and its name there, building each path from the one before.
    void forEach(const std::vector<std::size_t>& which,
                 const std::function<void(std::size_t, std::string_view, std::string_view)>& visit) const;
    std::vector<std::size_t> all() const;

    // The file's path as a person reads it, for messages.
    std::string shown(const host::disk::DiskApplication& web, std::size_t file) const;

  private:
    struct Folder {
        FolderId parent;
        std::string name;
        std::size_t depth;
        std::optional<std::size_t> ownFile; // when it is among them
    };
    struct File {
        FolderId folder;
        std::string name;
    };
    FolderId addFolder(FolderId parent, std::string name);
    std::string pathOf(FolderId folder) const;

    std::vector<Folder> folders_{{Web, "", 0, std::nullopt}};
    std::vector<File> files_;
    std::optional<FolderId> chosen_;
};

// The bytes of each file of a ChoiceFiles at one moment, by index; none for a file that did not exist.
using FileSnapshot = std::vector<std::optional<std::string>>;

// Reads them through the disk web; one that exists but cannot be read throws host::Failure.
FileSnapshot snapshotFiles(host::disk::DiskApplication& web, const ChoiceFiles& files);

struct Choice {
    std::string label;                        // e.g. "marked images"
    std::shared_ptr<const ChoiceFiles> files; // the files it could change
    std::vector<std::size_t> changed;         // those it did, ascending
    FileSnapshot before, after;               // of the changed ones, in the same order
    std::size_t items() const { return changed.size(); }
};

// The choice between two snapshots of the same files, or none when no file changed.
std::optional<Choice> choiceBetween(std::string label, std::shared_ptr<const ChoiceFiles> files,
                                    const FileSnapshot& before, const FileSnapshot& after);

// Of the marks a choice removed, how many were set on their own rather than with their containing folder's
// (whose own file held the mark too). The chosen folder's own file is not counted.
std::size_t marksRemovedOnTheirOwn(const ChoiceFiles& files, const FileSnapshot& before,
                                   const FileSnapshot& after);

class UndoHistory {
  public:
    void record(Choice choice); // drops what was undone
    bool canUndo() const { return !done_.empty(); }
    bool canRedo() const { return !undone_.empty(); }
    // Give the files of the last choice (or the last undone one) their other bytes back and return it.
    // When a file no longer holds what the choice left (changed on disk since), throws host::Failure
    // and changes nothing; the history stays as it was. Needs the web's write lock.
    const Choice& undo(host::disk::DiskApplication& web);
    const Choice& redo(host::disk::DiskApplication& web);
    void clear();

  private:
    std::vector<Choice> done_;
    std::vector<Choice> undone_;
};

} // namespace terminal
