#pragma once

#include "host/disk/DiskWeb.h"

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Undo and redo of the window's "Don't Publish" choices. A choice is kept as the bytes of every metadata
// file it changed, before and after, so undoing gives each file back exactly what it held (or removes it
// again) without going through the marking rules a second time.
namespace terminal {

// The bytes of some files at one moment; none for a file that did not exist.
using FileSnapshot = std::map<std::filesystem::path, std::optional<std::string>>;

// Reads the metadata files of `web`; one that exists but cannot be read throws host::Failure.
FileSnapshot snapshotFiles(host::disk::DiskApplication& web, const std::vector<std::filesystem::path>& paths);

// The metadata files a choice on an item can change: the item's own, everything's beneath a folder, and
// the own files of the folders above it up to the web's root. `parts` are the item's names below the web
// at `web` (empty for the web itself).
std::vector<std::filesystem::path> metadataFilesOfChoice(const std::filesystem::path& web,
                                                         const std::vector<std::string>& parts, bool folder);

struct Choice {
    std::string label;          // e.g. "marked images"
    FileSnapshot before, after; // only the files that changed
    std::size_t items() const { return after.size(); }
};

// The choice between two snapshots of the same files, or none when no file changed.
std::optional<Choice> choiceBetween(std::string label, const FileSnapshot& before, const FileSnapshot& after);

// Of the marks a choice removed, how many were set on their own rather than with their containing folder's
// (whose own file held the mark too). The chosen folder's own file is not counted.
std::size_t marksRemovedOnTheirOwn(const FileSnapshot& before, const FileSnapshot& after,
                                   const std::filesystem::path& chosenFolder);

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

// Puts `wanted` in place of `expected`: every file is first checked to hold its expected bytes; a write
// that fails midway puts back what was already written, then throws. Needs the web's write lock.
void replaceFiles(host::disk::DiskApplication& web, const FileSnapshot& expected, const FileSnapshot& wanted);

} // namespace terminal
