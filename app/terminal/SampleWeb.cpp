#include "app/terminal/SampleWeb.h"

#include "host/Failure.h"

#include <cstdlib>
#include <pwd.h>
#include <random>
#include <string>
#include <system_error>
#include <unistd.h>

namespace terminal {

namespace fs = std::filesystem;

namespace {

bool isFolder(const fs::path& p) {
    std::error_code ec;
    return fs::is_directory(p, ec);
}

fs::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
        return pw->pw_dir;
    throw host::Failure(host::status::NotFound, "neither XDG_DATA_HOME nor HOME says where to keep data");
}

// Files in the repository may be read-only (an installed copy); the copy is the user's to mark.
void makeOwnerWritable(const fs::path& root) {
    std::error_code ec;
    fs::permissions(root, fs::perms::owner_write, fs::perm_options::add, ec);
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
    }
}

bool present(const fs::path& p) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(p, ec));
}

} // namespace

std::optional<fs::path> findSampleWebSource() {
    std::vector<fs::path> candidates;
    // Test programs live apart from the program and name the checkout instead.
#ifdef VARNOOK_SOURCE_DIR
    candidates.push_back(fs::path(VARNOOK_SOURCE_DIR) / "examples" / "sample-web");
#endif
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path dir = exe.parent_path();
        // <prefix>/bin/varnook as installed, build/<preset>/varnook, or beside the executable.
        candidates.push_back(dir / ".." / "share" / "varnook" / "sample-web");
        candidates.push_back(dir / ".." / ".." / "examples" / "sample-web");
        candidates.push_back(dir / "examples" / "sample-web");
    }
    for (const auto& c : candidates) {
        if (isFolder(c))
            return fs::weakly_canonical(c, ec);
    }
    return std::nullopt;
}

fs::path dataFolder() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && fs::path(xdg).is_absolute())
        return fs::path(xdg) / "varnook";
    return homeFolder() / ".local" / "share" / "varnook";
}

fs::path ensureSampleWebCopy(const fs::path& source, const fs::path& dataDir) {
    const fs::path target = dataDir / "sample-web";
    if (present(target))
        return target;

    auto fail = [&](const std::string& what, const std::error_code& why) {
        throw host::Failure(host::status::Fail, "cannot copy the sample web to " + target.string() + ": " +
                                                    what + ": " + why.message());
    };
    if (!isFolder(source))
        fail("no sample web at " + source.string(),
             std::make_error_code(std::errc::no_such_file_or_directory));
    std::error_code ec;
    fs::create_directories(dataDir, ec);
    if (ec)
        fail("creating " + dataDir.string(), ec);

    std::random_device seed;
    const fs::path temp =
        dataDir / (".sample-web.tmp-" + std::to_string(::getpid()) + "-" + std::to_string(seed() % 1000000));
    fs::copy(source, temp, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (!ec) {
        makeOwnerWritable(temp);
        if (!present(target))
            fs::rename(temp, target, ec);
    }
    std::error_code ignored;
    fs::remove_all(temp, ignored);
    // A copy that another run finished meanwhile is as good as ours.
    if (present(target))
        return target;
    fail("copying " + source.string(), ec ? ec : std::make_error_code(std::errc::io_error));
    return target;
}

} // namespace terminal
