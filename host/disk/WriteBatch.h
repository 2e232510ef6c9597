#pragma once

#include "host/disk/FolderHandles.h"

#include <cstddef>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

// Replacements of metadata files made durable together: each new file is written beside its target
// without a sync of its own, and a flush syncs the file system once, renames every file over its target
// and syncs the file system again. A crash at any moment leaves every target old or new, never a mix, at
// a fraction of the cost of two syncs per file.
namespace host::disk {

class WriteBatch {
  public:
    // folders: where the metadata folders are opened (again, when closed meanwhile) for the renames.
    explicit WriteBatch(FolderHandles& folders) : folders_(folders) {}
    ~WriteBatch(); // removes the temporary files of whatever was never flushed
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;

    // `temp` in the folder's metadata folder holds `bytes`, to replace `name` there.
    // shown: the target as messages name it, asked for only when there is something to say.
    using Shown = std::function<std::string()>;
    void stage(FolderHandles::Folder& folder, const std::string& name, std::string temp, std::string bytes,
               Shown shown);
    // What a staged replacement holds, or null.
    const std::string* staged(const FolderHandles::Folder& folder, const std::string& name) const;
    // Drops a staged replacement before it is ever visible (the file is being removed instead).
    void cancel(const FolderHandles::Folder& folder, const std::string& name);
    // A metadata file was removed while the batch was open: a change like a replacement.
    void noteRemoval() { ++removed_; }
    std::set<std::string> temporariesIn(const FolderHandles::Folder& folder) const;
    bool full() const { return entries_.size() >= FileLimit; }
    std::size_t replaced() const { return replaced_; }
    // Files replaced or removed so far: whether the web changed under the lock.
    std::size_t changed() const { return replaced_ + removed_; }

    // Makes every staged replacement durable and visible. Every file is attempted; the first failure is
    // then thrown as host::Failure, saying how many were not written.
    void flush();

  private:
    struct Entry {
        FolderHandles::Folder* folder;
        std::string name;
        std::string temp;
        std::string bytes;
        Shown shown;
    };
    void discard(Entry& entry);

    static constexpr std::size_t FileLimit = 4096;

    FolderHandles& folders_;
    std::vector<Entry> entries_;
    std::map<std::pair<const FolderHandles::Folder*, std::string>, std::size_t> index_; // into entries_
    std::size_t replaced_ = 0;
    std::size_t removed_ = 0;
};

} // namespace host::disk
