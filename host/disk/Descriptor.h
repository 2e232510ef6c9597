#pragma once

#include "host/Ownership.h"

#include <unistd.h>

namespace host::disk {

// One open file descriptor, closed with its owner.
using Descriptor = UniqueHandle<int, ::close, -1>;

} // namespace host::disk
