#include "app/terminal/MetadataFileAccess.h"

#include "host/Failure.h"
#include "host/disk/Metadata.h"
#include "host/disk/MetadataFiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace terminal::metadata_files {
namespace {

namespace fs = std::filesystem;

class Folder {
  public:
    explicit Folder(int fd) : fd_(fd) {}
    ~Folder() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

host::Failure failure(const std::string& what, const fs::path& path, int error) {
    return host::Failure(host::status::Fail, what + " " + path.string() + ": " + std::strerror(error));
}

int openFolder(const fs::path& folder) {
    return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

} // namespace

fs::path ofFile(const fs::path& folder, std::string_view name) {
    return folder / host::disk::metadata::FolderName / name;
}

fs::path ofFolder(const fs::path& folder) {
    return folder / host::disk::metadata::FolderName / host::disk::metadata::FolderInfoName;
}

std::optional<std::string> read(const fs::path& path) {
    Folder folder(openFolder(path.parent_path()));
    if (folder.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        throw failure("cannot read", path, errno);
    }
    return host::disk::metadata::readAt(folder.get(), path.filename().string(),
                                        [&] { return path.string(); });
}

void replace(const fs::path& path, std::string_view bytes) {
    const fs::path dir = path.parent_path();
    int fd = openFolder(dir);
    if (fd < 0 && errno == ENOENT) {
        if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST)
            throw failure("cannot create the metadata folder", dir, errno);
        fd = openFolder(dir);
    }
    Folder folder(fd);
    if (folder.get() < 0)
        throw failure("cannot write metadata in", dir, errno);
    const std::string name = path.filename().string();
    const std::string temp = host::disk::metadata::writeTemporaryAt(
        folder.get(), name, bytes, /*syncData=*/true, [&] { return path.string(); });
    if (::renameat(folder.get(), temp.c_str(), folder.get(), name.c_str()) != 0) {
        const int error = errno;
        ::unlinkat(folder.get(), temp.c_str(), 0);
        throw failure("cannot replace", path, error);
    }
    ::fsync(folder.get());
}

} // namespace terminal::metadata_files
