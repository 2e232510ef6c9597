#include "app/Output.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace app {

std::string writeStandardOutput(std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(STDOUT_FILENO, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::strerror(n < 0 ? errno : EIO);
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    // Some file systems report a failed write only when the file is closed.
    if (::close(STDOUT_FILENO) != 0 && errno != EBADF && errno != EINTR)
        return std::strerror(errno);
    return {};
}

} // namespace app
