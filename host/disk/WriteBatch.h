#pragma once

#include "host/disk/Descriptor.h"

#include <cstddef>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

// Replacements of metadata files made durable together: each new file is written beside its target
// without a sync of its own, and a flush syncs the file system once, renames every file over its target
// and syncs each folder once. A crash at any moment leaves every target old or new, never a mix, at a
// fraction of the cost of two syncs per file.
namespace host::disk {

class WriteBatch {
  public:
    // fileSystem: any descriptor on the web's file system, for the one sync.
    explicit WriteBatch(int fileSystem) : fileSystem_(fileSystem) {}
    ~WriteBatch(); // removes the temporary files of whatever was never flushed
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;

    // The folder is identified by `owner` (any stable address); the bytes are what `temp` holds.
    void stage(const void* owner, std::shared_ptr<Descriptor> folder, const std::string& name,
               std::string temp, std::string bytes, std::string shown);
    // What a staged replacement holds, or null.
    const std::string* staged(const void* owner, const std::string& name) const;
    std::set<std::string> temporariesIn(const void* owner) const;
    // Time to flush: enough files, or enough folders held open.
    bool full() const;
    std::size_t replaced() const { return replaced_; }

    // Makes every staged replacement durable and visible. Every file is attempted; the first failure is
    // then thrown as host::Failure, saying how many were not written.
    void flush();

  private:
    struct Entry {
        const void* owner;
        std::shared_ptr<Descriptor> folder;
        std::string name;
        std::string temp;
        std::string bytes;
        std::string shown;
    };
    void discard(Entry& entry);

    static constexpr std::size_t FileLimit = 2048;
    static constexpr std::size_t FolderLimit = 64;

    int fileSystem_;
    std::vector<Entry> entries_;
    std::map<std::pair<const void*, std::string>, std::size_t> index_; // into entries_
    std::set<const void*> folders_;
    std::size_t replaced_ = 0;
};

} // namespace host::disk
