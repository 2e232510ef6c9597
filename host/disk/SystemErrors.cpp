#include "host/disk/SystemErrors.h"

#include "host/Failure.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace host::disk {

std::int32_t statusFor(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return status::AccessDenied;
    case ENOENT:
        return status::NotFound;
    default:
        return status::Fail;
    }
}

std::string message(int error) {
    return std::generic_category().message(error);
}

std::string printable(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace host::disk
