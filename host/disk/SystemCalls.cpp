#include "host/disk/SystemCalls.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace host::disk::sys {
namespace {

FaultHook& hook() {
    static FaultHook instance;
    return instance;
}

// True when the hook makes this call fail; errno is then set as the call would have set it.
bool injected(Call call) {
    if (!hook())
        return false;
    const int error = hook()(call);
    if (error == 0)
        return false;
    errno = error;
    return true;
}

} // namespace

void setFaultHook(FaultHook h) {
    hook() = std::move(h);
}

int openAt(int dir, const char* name, int flags, mode_t mode) {
    if (injected(Call::Open))
        return -1;
    int fd = -1;
    do
        fd = ::openat(dir, name, flags, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

int makeFolderAt(int dir, const char* name, mode_t mode) {
    return injected(Call::MakeFolder) ? -1 : ::mkdirat(dir, name, mode);
}

ssize_t read(int fd, void* buffer, size_t size) {
    if (injected(Call::Read))
        return -1;
    ssize_t n = -1;
    do
        n = ::read(fd, buffer, size);
    while (n < 0 && errno == EINTR);
    return n;
}

ssize_t write(int fd, const void* buffer, size_t size) {
    if (injected(Call::Write))
        return -1;
    ssize_t n = -1;
    do
        n = ::write(fd, buffer, size);
    while (n < 0 && errno == EINTR);
    return n;
}

ssize_t writeAt(int fd, const void* buffer, size_t size, off_t offset) {
    if (injected(Call::Write))
        return -1;
    ssize_t n = -1;
    do
        n = ::pwrite(fd, buffer, size, offset);
    while (n < 0 && errno == EINTR);
    return n;
}

int syncData(int fd) {
    return injected(Call::Sync) ? -1 : ::fdatasync(fd);
}

int syncFolder(int fd) {
    return injected(Call::Sync) ? -1 : ::fsync(fd);
}

int syncFileSystem(int fd) {
    return injected(Call::Sync) ? -1 : ::syncfs(fd);
}

int renameAt(int fromDir, const char* from, int toDir, const char* to) {
    return injected(Call::Rename) ? -1 : ::renameat(fromDir, from, toDir, to);
}

} // namespace host::disk::sys
