#include "host/disk/MetadataFiles.h"

#include "host/Failure.h"
#include "host/disk/Descriptor.h"
#include "host/disk/SystemCalls.h"
#include "host/disk/SystemErrors.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace host::disk::metadata {
namespace {

Failure systemFailure(const std::string& what, const Shown& shown, int error) {
    return Failure(statusFor(error), what + " " + shown() + ": " + message(error));
}

// A backslash: no item the window shows has one in its name (nor can any on the editor's own system), so
// no metadata file is ever named like a temporary file, and the stale ones found later are ours.
constexpr std::string_view TemporaryPrefix = ".varnook\\";
constexpr std::string_view TemporarySuffix = ".tmp";

std::string temporaryName() {
    static std::atomic<unsigned> counter{0};
    return std::string(TemporaryPrefix) + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
           std::string(TemporarySuffix);
}

// The replacement keeps the old file's extended attributes, among them its access control list.
void copyExtendedAttributes(int dir, const std::string& name, int to, const Shown& shown) {
    Descriptor from(
        sys::openAt(dir, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    if (!from.valid())
        throw systemFailure("cannot keep the extended attributes of", shown, errno);
    std::vector<char> names(256);
    ssize_t size = 0;
    while ((size = ::flistxattr(from.get(), names.data(), names.size())) < 0 && errno == ERANGE)
        names.resize(names.size() * 4);
    if (size < 0) {
        if (errno == ENOTSUP)
            return; // a file system without them
        throw systemFailure("cannot keep the extended attributes of", shown, errno);
    }
    std::vector<char> value(256);
    for (std::size_t at = 0; at < static_cast<std::size_t>(size);) {
        const char* attribute = names.data() + at;
        at += std::strlen(attribute) + 1;
        ssize_t length = 0;
        while ((length = ::fgetxattr(from.get(), attribute, value.data(), value.size())) < 0 &&
               errno == ERANGE)
            value.resize(value.size() * 4);
        if (length < 0 || ::fsetxattr(to, attribute, value.data(), static_cast<std::size_t>(length), 0) != 0)
            throw systemFailure("cannot keep the extended attribute " + std::string(attribute) + " of", shown,
                                errno);
    }
}

bool allDigits(std::string_view s) {
    if (s.empty())
        return false;
    for (const char c : s) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

} // namespace

std::optional<std::string> readAt(int dir, const std::string& name, const Shown& shown) {
    // Non-blocking so that a FIFO planted where a metadata file belongs cannot hang the add-in.
    Descriptor fd(sys::openAt(dir, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
    if (!fd.valid()) {
        if (errno == ENOENT)
            return std::nullopt;
        if (errno == ELOOP)
            throw Failure(status::Fail,
                          "cannot read the metadata file " + shown() + ": it is a symbolic link");
        throw systemFailure("cannot read the metadata file", shown, errno);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        throw systemFailure("cannot read the metadata file", shown, errno);
    if (!S_ISREG(info.st_mode))
        throw Failure(status::Fail,
                      "cannot read the metadata file " + shown() + ": it is not a regular file");
    const auto tooLarge = [&] {
        return Failure(status::Fail, "cannot read the metadata file " + shown() + ": it holds more than " +
                                         std::to_string(MaxBytes / 1024) +
                                         " KB, which no metadata file does");
    };
    if (info.st_size > static_cast<off_t>(MaxBytes))
        throw tooLarge();
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t size = 0;
    for (;;) {
        if (size == bytes.size())
            bytes.resize(bytes.size() * 2);
        const ssize_t n = sys::read(fd.get(), bytes.data() + size, bytes.size() - size);
        if (n == 0)
            break;
        if (n < 0)
            throw systemFailure("cannot read the metadata file", shown, errno);
        size += static_cast<std::size_t>(n);
        if (size > MaxBytes) // grown since it was measured
            throw tooLarge();
        // A regular file that yields less than asked has no more: spares a read per file.
        if (size < bytes.size())
            break;
    }
    bytes.resize(size);
    return bytes;
}

std::string writeTemporaryAt(int dir, const std::string& name, std::string_view bytes, bool syncData,
                             const Shown& shown) {
    // The replacement keeps who owns the file and who may read it: root rewriting another user's web
    // must not lock its owner out of their own file.
    struct stat old {};
    const bool replacing = ::fstatat(dir, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (!replacing && errno != ENOENT)
        throw systemFailure("cannot write", shown, errno);
    if (replacing && !S_ISREG(old.st_mode))
        throw Failure(status::Fail, "cannot write " + shown() + ": it is not a regular file");
    struct stat owner = old;
    if (!replacing && ::fstat(dir, &owner) != 0)
        throw systemFailure("cannot write", shown, errno);
    const mode_t mode = replacing ? (old.st_mode & 07777) : 0666;

    std::string temp;
    Descriptor fd;
    for (int attempt = 0; !fd.valid(); ++attempt) {
        temp = temporaryName();
        fd = Descriptor(
            sys::openAt(dir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode));
        if (!fd.valid() && (errno != EEXIST || attempt == 100))
            throw systemFailure("cannot create a temporary file for", shown, errno);
    }
    struct Cleanup {
        int dir;
        const std::string& temp;
        bool keep = false;
        ~Cleanup() {
            if (!keep)
                ::unlinkat(dir, temp.c_str(), 0);
        }
    } cleanup{dir, temp};

    const bool otherOwner = owner.st_uid != ::geteuid() || owner.st_gid != ::getegid();
    // Only root can give a file away; anyone else writes as themselves, as any editor would.
    if (otherOwner && ::geteuid() == 0 && ::fchown(fd.get(), owner.st_uid, owner.st_gid) != 0)
        throw systemFailure("cannot keep the owner of", shown, errno);
    if (replacing && ::fchmod(fd.get(), mode) != 0)
        throw systemFailure("cannot keep the mode of", shown, errno);
    if (replacing)
        copyExtendedAttributes(dir, name, fd.get(), shown);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = sys::write(fd.get(), bytes.data() + written, bytes.size() - written);
        if (n < 0)
            throw systemFailure("cannot write", shown, errno);
        written += static_cast<std::size_t>(n);
    }
    if (syncData && sys::syncData(fd.get()) != 0)
        throw systemFailure("cannot write", shown, errno);
    if (fd.close() != 0)
        throw systemFailure("cannot write", shown, errno);
    cleanup.keep = true;
    return temp;
}

bool isTemporaryName(std::string_view name) {
    const auto prefix = TemporaryPrefix;
    const auto suffix = TemporarySuffix;
    if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) || !name.ends_with(suffix))
        return false;
    const std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const auto dash = middle.find('-');
    return dash != std::string_view::npos && allDigits(middle.substr(0, dash)) &&
           allDigits(middle.substr(dash + 1));
}

void removeStaleTemporariesAt(int dir, const std::set<std::string>& keep) {
    Descriptor listing(::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!listing)
        return;
    DirectoryStream stream(::fdopendir(listing.get()));
    if (!stream)
        return;
    (void)listing.release(); // the stream closes it now
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(stream.get())) {
        if (isTemporaryName(entry->d_name) && keep.count(entry->d_name) == 0)
            stale.emplace_back(entry->d_name);
    }
    stream.reset();
    // Tidying only: a temporary file that cannot be removed harms nobody and fails nothing.
    for (const auto& name : stale)
        ::unlinkat(dir, name.c_str(), 0);
}

} // namespace host::disk::metadata
