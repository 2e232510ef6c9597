#pragma once

#include <functional>
#include <sys/types.h>

// Every call through which the disk web opens, reads, writes, syncs or renames, in one place, so that a
// test can make each of them fail in turn and see what the web does on a full disk or a failing device.
namespace host::disk::sys {

enum class Call { Open, MakeFolder, Read, Write, Sync, Rename };

// Consulted before each call; a non-zero result is the errno the call then fails with, without running.
// Not for production use: one hook for the whole process, set and cleared by the test that needs it.
using FaultHook = std::function<int(Call)>;
void setFaultHook(FaultHook hook);

int openAt(int dir, const char* name, int flags, mode_t mode = 0);
int makeFolderAt(int dir, const char* name, mode_t mode);
ssize_t read(int fd, void* buffer, size_t size);
ssize_t write(int fd, const void* buffer, size_t size);
ssize_t writeAt(int fd, const void* buffer, size_t size, off_t offset);
int syncData(int fd);       // the file's bytes
int syncFolder(int fd);     // a folder's entries, after renames in it
int syncFileSystem(int fd); // everything written to the file system that holds fd
int renameAt(int fromDir, const char* from, int toDir, const char* to);

} // namespace host::disk::sys
