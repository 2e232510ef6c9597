#pragma once

#include "host/Ownership.h"

#include <dirent.h>
#include <unistd.h>

namespace host::disk {

// One open file descriptor, closed with its owner.
using Descriptor = UniqueHandle<int, ::close, -1>;
// A folder's listing, which owns the descriptor it was opened on.
using DirectoryStream = UniqueHandle<DIR*, ::closedir>;

} // namespace host::disk
