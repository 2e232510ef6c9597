#include "host/disk/WriteBatch.h"

#include "host/Failure.h"
#include "host/disk/SystemCalls.h"
#include "host/disk/SystemErrors.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <system_error>
#include <unistd.h>

namespace host::disk {

WriteBatch::~WriteBatch() {
    for (Entry& entry : entries_)
        discard(entry);
}

void WriteBatch::discard(Entry& entry) {
    if (entry.temp.empty())
        return;
    try {
        if (const auto folder = folders_.metadataFolder(*entry.folder, false))
            ::unlinkat(folder->get(), entry.temp.c_str(), 0);
    } catch (const Failure&) {
        // Left for the next writer holding the lock, which removes the temporary files it meets.
    }
    entry.temp.clear();
}

void WriteBatch::stage(FolderHandles::Folder& folder, const std::string& name, std::string temp,
                       std::string bytes, Shown shown) {
    const auto key = std::make_pair(static_cast<const FolderHandles::Folder*>(&folder), name);
    if (const auto found = index_.find(key); found != index_.end()) {
        Entry& entry = entries_[found->second];
        discard(entry); // superseded before it was ever visible
        entry.temp = std::move(temp);
        entry.bytes = std::move(bytes);
        return;
    }
    index_.emplace(key, entries_.size());
    entries_.push_back({&folder, name, std::move(temp), std::move(bytes), std::move(shown)});
}

const std::string* WriteBatch::staged(const FolderHandles::Folder& folder, const std::string& name) const {
    const auto found = index_.find(std::make_pair(&folder, name));
    return found == index_.end() ? nullptr : &entries_[found->second].bytes;
}

void WriteBatch::cancel(const FolderHandles::Folder& folder, const std::string& name) {
    const auto found = index_.find(std::make_pair(&folder, name));
    if (found == index_.end())
        return;
    discard(entries_[found->second]);
    index_.erase(found);
}

std::set<std::string> WriteBatch::temporariesIn(const FolderHandles::Folder& folder) const {
    std::set<std::string> out;
    for (const Entry& entry : entries_) {
        if (entry.folder == &folder)
            out.insert(entry.temp);
    }
    return out;
}

void WriteBatch::flush() {
    if (entries_.empty())
        return;
    std::vector<Entry> entries = std::move(entries_);
    entries_.clear();
    index_.clear();
    struct DiscardLeft {
        WriteBatch& batch;
        std::vector<Entry>& entries;
        ~DiscardLeft() {
            for (Entry& entry : entries)
                batch.discard(entry);
        }
    } discardLeft{*this, entries};

    const int fileSystem = folders_.open(folders_.root());
    // One sync for every new file's bytes, before any of them takes its target's place.
    if (sys::syncFileSystem(fileSystem) != 0) {
        const int error = errno;
        throw Failure(statusFor(error), "cannot write the metadata of " + std::to_string(entries.size()) +
                                            " items: " + message(error));
    }
    std::optional<Failure> first;
    std::size_t failed = 0;
    for (Entry& entry : entries) {
        if (entry.temp.empty())
            continue; // cancelled
        try {
            const auto folder = folders_.metadataFolder(*entry.folder, false);
            if (!folder)
                throw Failure(status::NotFound, "cannot replace " + entry.shown() + ": its folder is gone");
            if (sys::renameAt(folder->get(), entry.temp.c_str(), folder->get(), entry.name.c_str()) != 0) {
                const int error = errno;
                throw Failure(statusFor(error), "cannot replace " + entry.shown() + ": " + message(error));
            }
            entry.temp.clear();
            ++replaced_;
        } catch (const Failure& f) {
            discard(entry);
            if (!first)
                first.emplace(f);
            ++failed;
        }
    }
    // Without this the renames themselves may not survive a crash.
    if (sys::syncFileSystem(fileSystem) != 0 && !first) {
        const int error = errno;
        first.emplace(statusFor(error), "cannot make the metadata written durable: " + message(error));
    }
    if (first) {
        if (failed > 1)
            throw Failure(first->status(), std::string(first->what()) + " (and " +
                                               std::to_string(failed - 1) +
                                               " more metadata files not written)");
        throw *first;
    }
}

} // namespace host::disk
