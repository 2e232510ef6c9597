#include "host/disk/WebFiles.h"

#include "host/Failure.h"
#include "host/disk/Descriptor.h"
#include "host/disk/SystemCalls.h"
#include "host/disk/SystemErrors.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace host::disk {
namespace {

constexpr int FolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::vector<std::string_view> namesOf(std::string_view rel) {
    std::vector<std::string_view> names;
    for (std::size_t start = 0; start <= rel.size();) {
        const std::size_t end = std::min(rel.find('/', start), rel.size());
        names.push_back(rel.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

bool plainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('\0') == std::string_view::npos;
}

// The folder that holds the last name of rel, opened name by name; invalid when a folder on the way is
// missing or is no real folder. errno then says why.
Descriptor openParent(const std::filesystem::path& web, const std::vector<std::string_view>& names) {
    Descriptor folder(::open(web.c_str(), FolderFlags));
    for (std::size_t i = 0; folder.valid() && i + 1 < names.size(); ++i)
        folder = Descriptor(sys::openAt(folder.get(), std::string(names[i]).c_str(), FolderFlags));
    return folder;
}

} // namespace

std::optional<std::string> readFileBelow(const std::filesystem::path& web, std::string_view rel) {
    const std::string shown = web.string() + "/" + printable(rel);
    const auto names = namesOf(rel);
    for (const auto name : names) {
        if (!plainName(name))
            throw Failure(status::InvalidArg, "cannot read " + shown + ": it is no path below the web");
    }
    const auto cannot = [&](int error) {
        return Failure(statusFor(error), "cannot read the page " + shown + ": " + message(error));
    };
    const Descriptor folder = openParent(web, names);
    if (!folder.valid())
        throw cannot(errno);
    Descriptor file(sys::openAt(folder.get(), std::string(names.back()).c_str(),
                                O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.valid()) {
        if (errno == ELOOP)
            return std::nullopt;
        throw cannot(errno);
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0)
        throw cannot(errno);
    if (!S_ISREG(info.st_mode))
        throw Failure(status::Fail, "cannot read the page " + shown + ": it is not a regular file");
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = sys::read(file.get(), buffer, sizeof buffer);
        if (n < 0)
            throw cannot(errno);
        if (n == 0)
            return bytes;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

bool existsBelow(const std::filesystem::path& web, std::string_view rel) {
    const auto names = namesOf(rel);
    for (const auto name : names) {
        if (!plainName(name))
            return false;
    }
    const Descriptor folder = openParent(web, names);
    struct stat info {};
    return folder.valid() &&
           ::fstatat(folder.get(), std::string(names.back()).c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

} // namespace host::disk
