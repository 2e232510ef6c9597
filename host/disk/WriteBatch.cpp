#include "host/disk/WriteBatch.h"

#include "host/Failure.h"
#include "host/disk/SystemCalls.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <system_error>
#include <unistd.h>

namespace host::disk {
namespace {

std::int32_t statusFor(int error) {
    return error == EACCES || error == EPERM || error == EROFS ? status::AccessDenied : status::Fail;
}

std::string message(int error) {
    return std::generic_category().message(error);
}

} // namespace

WriteBatch::~WriteBatch() {
    for (Entry& entry : entries_)
        discard(entry);
}

void WriteBatch::discard(Entry& entry) {
    if (!entry.temp.empty())
        ::unlinkat(entry.folder->get(), entry.temp.c_str(), 0);
    entry.temp.clear();
}

void WriteBatch::stage(const void* owner, std::shared_ptr<Descriptor> folder, const std::string& name,
                       std::string temp, std::string bytes, std::string shown) {
    const auto key = std::make_pair(owner, name);
    if (const auto found = index_.find(key); found != index_.end()) {
        Entry& entry = entries_[found->second];
        discard(entry); // superseded before it was ever visible
        entry.temp = std::move(temp);
        entry.bytes = std::move(bytes);
        return;
    }
    index_.emplace(key, entries_.size());
    folders_.insert(owner);
    entries_.push_back({owner, std::move(folder), name, std::move(temp), std::move(bytes), std::move(shown)});
}

const std::string* WriteBatch::staged(const void* owner, const std::string& name) const {
    const auto found = index_.find(std::make_pair(owner, name));
    return found == index_.end() ? nullptr : &entries_[found->second].bytes;
}

std::set<std::string> WriteBatch::temporariesIn(const void* owner) const {
    std::set<std::string> out;
    for (const Entry& entry : entries_) {
        if (entry.owner == owner)
            out.insert(entry.temp);
    }
    return out;
}

bool WriteBatch::full() const {
    return entries_.size() >= FileLimit || folders_.size() >= FolderLimit;
}

void WriteBatch::flush() {
    if (entries_.empty())
        return;
    std::vector<Entry> entries = std::move(entries_);
    entries_.clear();
    index_.clear();
    folders_.clear();

    std::optional<Failure> first;
    std::size_t failed = 0;
    // One sync for every new file's bytes, before any of them takes its target's place.
    if (sys::syncFileSystem(fileSystem_) != 0) {
        const int error = errno;
        for (Entry& entry : entries)
            discard(entry);
        throw Failure(statusFor(error), "cannot write the metadata of " + std::to_string(entries.size()) +
                                            " items: " + message(error));
    }
    std::set<const Descriptor*> folders;
    for (Entry& entry : entries) {
        if (sys::renameAt(entry.folder->get(), entry.temp.c_str(), entry.folder->get(), entry.name.c_str()) !=
            0) {
            const int error = errno;
            discard(entry);
            if (!first)
                first.emplace(statusFor(error), "cannot replace " + entry.shown + ": " + message(error));
            ++failed;
            continue;
        }
        entry.temp.clear();
        ++replaced_;
        folders.insert(entry.folder.get());
    }
    // Without this the renames themselves may not survive a crash.
    for (const Descriptor* folder : folders) {
        if (sys::syncFolder(folder->get()) != 0 && !first) {
            const int error = errno;
            first.emplace(statusFor(error),
                          "cannot make the metadata written in a folder durable: " + message(error));
        }
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
