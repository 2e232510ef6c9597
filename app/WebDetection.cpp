#include "app/WebDetection.h"

#include <system_error>

namespace app {

bool looksLikeAWeb(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const char* name : {"_vti_pvt", "_vti_cnf"}) {
        if (fs::is_directory(fs::symlink_status(folder / name, ec)))
            return true;
    }
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    for (const fs::recursive_directory_iterator end; !ec && it != end; it.increment(ec)) {
        if (!it->is_directory(ec) || it->is_symlink(ec))
            continue;
        const auto name = it->path().filename();
        if (name == "_vti_pvt" || name == "_vti_cnf")
            return true;
    }
    return false;
}

} // namespace app
