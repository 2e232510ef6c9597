#include "host/disk/FolderHandles.h"

#include "host/Failure.h"
#include "host/disk/Metadata.h"
#include "host/disk/SystemCalls.h"
#include "host/disk/SystemErrors.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <vector>

namespace host::disk {
namespace {

constexpr int FolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

} // namespace

FolderHandles::FolderHandles(Descriptor root, std::string shown) : shownRoot_(std::move(shown)) {
    root_.fd = std::move(root);
    root_.isOpen = true;
}

FolderHandles::Folder& FolderHandles::child(Folder& parent, std::string_view name) {
    auto [it, added] = parent.children.try_emplace(std::string(name));
    if (added) {
        it->second = std::make_unique<Folder>();
        it->second->parent = &parent;
        it->second->name = it->first;
        it->second->depth = parent.depth + 1;
    }
    return *it->second;
}

int FolderHandles::open(Folder& folder) {
    if (folder.isOpen) {
        touch(folder);
        return folder.fd.get();
    }
    // Iterative, so that reopening a folder thousands of levels down needs no deep call stack.
    std::vector<Folder*> closed;
    for (Folder* f = &folder; !f->isOpen; f = f->parent)
        closed.push_back(f);
    for (auto it = closed.rbegin(); it != closed.rend(); ++it)
        openOne(**it);
    return folder.fd.get();
}

int FolderHandles::openOne(Folder& folder) {
    const int parent = folder.parent->fd.get();
    Descriptor fd(sys::openAt(parent, folder.name.c_str(), FolderFlags));
    if (!fd.valid()) {
        const int error = errno;
        if (error == ELOOP || error == ENOTDIR)
            throw Failure(status::NotFound, shownPath(folder) + " is no longer a folder of the web");
        throw Failure(statusFor(error),
                      "cannot open the folder " + shownPath(folder) + ": " + message(error));
    }
    folder.fd = std::move(fd);
    folder.isOpen = true;
    recent_.push_front(&folder);
    folder.recent = recent_.begin();
    // The one just opened is the most recent, so the chain being walked down is never the one closed.
    while (recent_.size() > OpenLimit)
        close(*recent_.back());
    return folder.fd.get();
}

void FolderHandles::touch(Folder& folder) {
    if (&folder != &root_ && folder.recent != recent_.begin())
        recent_.splice(recent_.begin(), recent_, folder.recent);
}

void FolderHandles::close(Folder& folder) {
    recent_.erase(folder.recent);
    folder.fd.reset();
    folder.metadataFolder.reset();
    folder.isOpen = false;
}

std::shared_ptr<Descriptor> FolderHandles::metadataFolder(Folder& folder, bool create) {
    const int dir = open(folder);
    if (folder.metadataFolder && folder.metadataFolder->valid())
        return folder.metadataFolder;
    const std::string name(metadata::FolderName);
    const auto shown = [&] { return shownPath(folder) + "/" + name; };
    Descriptor fd(sys::openAt(dir, name.c_str(), FolderFlags));
    if (!fd.valid() && errno == ENOENT && create) {
        if (sys::makeFolderAt(dir, name.c_str(), 0777) != 0 && errno != EEXIST) {
            const int error = errno;
            throw Failure(statusFor(error),
                          "cannot create the metadata folder " + shown() + ": " + message(error));
        }
        fd = Descriptor(sys::openAt(dir, name.c_str(), FolderFlags));
        // Made by root for a web that belongs to someone else: it stays theirs.
        struct stat owner {};
        if (fd.valid() && ::geteuid() == 0 && ::fstat(dir, &owner) == 0)
            (void)::fchown(fd.get(), owner.st_uid, owner.st_gid);
    }
    if (!fd.valid()) {
        const int error = errno;
        if (error == ENOENT || (!create && error == ENOTDIR))
            return nullptr;
        if (error == ELOOP || error == ENOTDIR)
            throw Failure(status::Fail,
                          "cannot use the metadata folder " + shown() + ": it is not a real folder");
        throw Failure(statusFor(error), "cannot open the metadata folder " + shown() + ": " + message(error));
    }
    folder.metadataFolder = std::make_shared<Descriptor>(std::move(fd));
    return folder.metadataFolder;
}

void FolderHandles::forget() {
    while (!recent_.empty())
        close(*recent_.back());
    root_.metadataFolder.reset();
}

std::string FolderHandles::relativePath(const Folder& folder) {
    std::vector<const Folder*> chain;
    std::size_t size = 0;
    for (const Folder* f = &folder; f->parent != nullptr; f = f->parent) {
        chain.push_back(f);
        size += f->name.size() + 1;
    }
    std::string out;
    out.reserve(size);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!out.empty())
            out += '/';
        out += (*it)->name;
    }
    return out;
}

std::string FolderHandles::shownPath(const Folder& folder) const {
    const std::string rel = relativePath(folder);
    return rel.empty() ? shownRoot_ : shownRoot_ + "/" + rel;
}

} // namespace host::disk
