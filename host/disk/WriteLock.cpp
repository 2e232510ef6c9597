// The web's write lock: its file in the private folder, the change count kept there and the note of a
// writer at work; apart from the object model because it spans processes, not one web's objects.
#include "host/disk/WriteLock.h"

#include "host/Failure.h"
#include "host/disk/DiskWeb.h"
#include "host/disk/Listing.h"
#include "host/disk/MetadataFiles.h"
#include "host/disk/SystemCalls.h"
#include "host/disk/SystemErrors.h"
#include "host/disk/WriteBatch.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <ostream>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace host::disk {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view LockFileName = "varnook.lock";

// Written into the lock file below the count while temporary files of this writer may lie in the web: a
// writer killed before its commit leaves it there, and the next writer then clears the whole web.
constexpr std::string_view WritingNote = "writing\n";

bool writingWasAnnounced(int lockFd) {
    char text[64] = {};
    const ssize_t n = ::pread(lockFd, text, sizeof text - 1, 0);
    return n > 0 &&
           std::string_view(text, static_cast<std::size_t>(n)).find(WritingNote) != std::string_view::npos;
}

// Removes the temporary files a killed writer left in the metadata folder of every folder of the web.
// Tidying only: a folder that cannot be listed is passed over, and fails nothing.
void removeStaleTemporaries(WebState& state) {
    std::vector<HandleFolder*> pending{&state.folders.root()};
    while (!pending.empty()) {
        HandleFolder& folder = *pending.back();
        pending.pop_back();
        try {
            const FolderListing listing = list(state, folder);
            if (const auto metadataFolder = state.folders.metadataFolder(folder, false))
                metadata::removeStaleTemporariesAt(metadataFolder->get(), {});
            for (const auto& name : listing.folders)
                pending.push_back(&state.folders.child(folder, name));
        } catch (const Failure&) {
        }
    }
}

// The web's lock file, in its private folder (made when missing, and kept out of the tree like every
// "_vti_" folder).
Descriptor openLockFile(WebState& state, bool create) {
    const int root = state.folders.open(state.folders.root());
    const std::string folderName(PrivateFolderName);
    const std::string shown = state.url + "/" + folderName + "/" + std::string(LockFileName);
    const auto cannot = [&](int error) {
        return Failure(statusFor(error), "cannot lock the web: " + shown + ": " + message(error));
    };
    const int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    Descriptor folder(sys::openAt(root, folderName.c_str(), folderFlags));
    if (!folder.valid() && errno == ENOENT && create) {
        if (sys::makeFolderAt(root, folderName.c_str(), 0777) != 0 && errno != EEXIST)
            throw cannot(errno);
        folder = Descriptor(sys::openAt(root, folderName.c_str(), folderFlags));
        struct stat owner {};
        if (folder.valid() && ::geteuid() == 0 && ::fstat(root, &owner) == 0)
            (void)::fchown(folder.get(), owner.st_uid, owner.st_gid);
    }
    if (!folder.valid()) {
        if (!create && errno == ENOENT)
            return Descriptor();
        throw cannot(errno);
    }
    // Non-blocking, so that a pipe in its place cannot stop the program at the open.
    const int flags = (create ? O_RDWR | O_CREAT : O_RDONLY) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    Descriptor fd(sys::openAt(folder.get(), std::string(LockFileName).c_str(), flags, 0666));
    if (!fd.valid()) {
        if (!create && errno == ENOENT)
            return Descriptor();
        throw cannot(errno);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        throw Failure(status::Fail, "cannot lock the web: " + shown + " is not a regular file");
    // A second name of the same file may lie outside the web; the count written into it would land there.
    if (create && info.st_nlink != 1)
        throw Failure(status::Fail,
                      "cannot lock the web: " + shown + " has " + std::to_string(info.st_nlink) +
                          " names (hard links), so it may be a file outside the web; remove it");
    // Made by root in a web that belongs to someone else: it stays theirs, so they can lock it too.
    struct stat owner {};
    if (create && ::geteuid() == 0 && ::fstat(folder.get(), &owner) == 0 &&
        (info.st_uid != owner.st_uid || info.st_gid != owner.st_gid))
        (void)::fchown(fd.get(), owner.st_uid, owner.st_gid);
    return fd;
}

std::uint64_t readCount(int fd) {
    char text[32] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0)
        return 0;
    return std::strtoull(text, nullptr, 10);
}

} // namespace

void announceWriting(WebState& state) {
    if (state.writingAnnounced || state.lockFd < 0)
        return;
    struct stat info {};
    if (::fstat(state.lockFd, &info) != 0 ||
        sys::writeAt(state.lockFd, WritingNote.data(), WritingNote.size(), info.st_size) !=
            static_cast<ssize_t>(WritingNote.size()))
        throw Failure(statusFor(errno), "cannot write to the web's lock file in " + state.url + "/" +
                                            std::string(PrivateFolderName) + ": " + message(errno));
    state.writingAnnounced = true;
}

bool hasLockFile(const fs::path& web) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(web / PrivateFolderName / LockFileName, ec));
}

std::unique_ptr<WriteLock> DiskApplication::lockForWriting(bool wait,
                                                           const std::function<void()>& stillWaiting) {
    if (state_->batch)
        throw Failure(status::Fail, "the web " + state_->url + " is already locked for writing");
    Descriptor fd = openLockFile(*state_, true);
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK)
            throw Failure(statusFor(errno), "cannot lock the web " + state_->url + ": " + message(errno));
        if (!wait)
            throw Failure(status::Fail,
                          "the web " + state_->url +
                              " is being changed by another varnook; not waiting for it (--no-wait)");
        using namespace std::chrono;
        const auto giveNotice = steady_clock::now() + seconds(1);
        bool locked = false;
        while (!locked && steady_clock::now() < giveNotice) {
            std::this_thread::sleep_for(milliseconds(20));
            locked = ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0;
        }
        if (!locked) {
            if (stillWaiting)
                stillWaiting();
            else
                state_->warnings << "varnook: waiting for another varnook to finish changing the web "
                                 << state_->url << "...\n"
                                 << std::flush;
            while (::flock(fd.get(), LOCK_EX) != 0) {
                if (errno != EINTR)
                    throw Failure(statusFor(errno),
                                  "cannot lock the web " + state_->url + ": " + message(errno));
            }
        }
    }
    // Whatever was resolved before the lock may have changed since: every folder is opened afresh.
    state_->folders.forget();
    state_->lastFolder = {};
    state_->batch = std::make_unique<WriteBatch>(state_->folders);
    state_->tidied.clear();
    state_->lockFd = fd.get();
    state_->writingAnnounced = false;
    if (writingWasAnnounced(fd.get())) {
        removeStaleTemporaries(*state_);
        state_->writingAnnounced = true; // so that the commit rewrites the lock file without the note
    }
    const std::uint64_t count = readCount(fd.get());
    return std::unique_ptr<WriteLock>(new WriteLock(state_, std::move(fd), count));
}

std::uint64_t DiskApplication::changeCount() {
    const Descriptor fd = openLockFile(*state_, false);
    return fd.valid() ? readCount(fd.get()) : 0;
}

WriteLock::WriteLock(std::shared_ptr<WebState> state, Descriptor fd, std::uint64_t count)
    : state_(std::move(state)), fd_(std::move(fd)), countAtStart_(count) {}

WriteLock::~WriteLock() {
    if (!fd_.valid())
        return;
    try {
        commit();
    } catch (const std::exception& e) {
        state_->warnings << "varnook: " << e.what() << '\n';
    }
}

void WriteLock::commit() {
    if (!fd_.valid())
        return;
    std::optional<Failure> failure;
    try {
        state_->batch->flush();
    } catch (const Failure& f) {
        failure = f;
    }
    const bool changed = state_->batch->changed() > 0;
    if (changed || state_->writingAnnounced) {
        // A new count tells a window filled before these changes that its marks are stale.
        const std::string text = std::to_string(countAtStart_ + (changed ? 1 : 0)) + "\n";
        if (sys::writeAt(fd_.get(), text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()) ||
            ::ftruncate(fd_.get(), static_cast<off_t>(text.size())) != 0) {
            const int error = errno;
            if (!failure)
                failure =
                    Failure(statusFor(error), "the marks were written, but not the web's change count in " +
                                                  state_->url + "/" + std::string(PrivateFolderName) + "/" +
                                                  std::string(LockFileName) + ": " + message(error) +
                                                  "; a window open on the web shows its old marks");
        }
    }
    state_->batch.reset();
    state_->tidied.clear();
    state_->lockFd = -1;
    state_->writingAnnounced = false;
    fd_.reset(); // releases the flock
    if (failure)
        throw *failure;
}

} // namespace host::disk
