#include "app/cli/Output.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace app {

StandardOutput::StandardOutput() {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

StandardOutput::int_type StandardOutput::overflow(int_type ch) {
    writeHeld();
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(ch);
        pbump(1);
    }
    return traits_type::not_eof(ch);
}

int StandardOutput::sync() {
    writeHeld();
    return 0;
}

void StandardOutput::writeHeld() {
    writeAll(std::string_view(pbase(), static_cast<std::size_t>(pptr() - pbase())));
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

void StandardOutput::writeAll(std::string_view text) {
    // After a failure the rest is dropped: the command goes on to its end, and finish() reports it.
    while (error_.empty() && !text.empty()) {
        const ssize_t n = ::write(STDOUT_FILENO, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error_ = std::strerror(n < 0 ? errno : EIO);
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::string StandardOutput::finish() {
    writeHeld();
    // Some file systems report a failed write only when the file is closed.
    if (::close(STDOUT_FILENO) != 0 && errno != EBADF && errno != EINTR && error_.empty())
        error_ = std::strerror(errno);
    return error_;
}

} // namespace app
