#include "app/WebDetection.h"

#include "host/Failure.h"

#include <memory>
#include <sstream>
#include <system_error>
#include <vector>

namespace app {

bool looksLikeAWeb(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const char* name : {"_vti_pvt", "_vti_cnf"}) {
        if (fs::is_directory(fs::symlink_status(folder / name, ec)))
            return true;
    }
    // Deeper down, as the window would list it; what it leaves out is said when the command runs.
    std::ostringstream unused;
    try {
        host::disk::DiskApplication web(folder, unused);
        std::vector<std::unique_ptr<host::Folder>> toList;
        toList.push_back(web.activeWeb()->rootFolder());
        while (!toList.empty() && !web.editorFoldersSeen()) {
            auto next = std::move(toList.back());
            toList.pop_back();
            for (auto& sub : next->folders())
                toList.push_back(std::move(sub));
        }
        return web.editorFoldersSeen();
    } catch (const host::Failure&) {
        return false; // what cannot be read holds nothing that makes it a web; the command says the rest
    }
}

void warnWhenNotAWeb(const host::disk::DiskApplication& web, const std::string& given,
                     std::ostream& warnings) {
    if (!web.editorFoldersSeen())
        warnings << "varnook: warning: '" << given
                 << "' is not a web (no _vti_pvt or _vti_cnf folder in it): every item shows published\n";
}

} // namespace app
