#include "host/disk/WebDetection.h"

#include "host/Failure.h"
#include "host/disk/DiskWeb.h"
#include "host/disk/Metadata.h"
#include "host/disk/SystemErrors.h"

#include <memory>
#include <sstream>
#include <system_error>
#include <vector>

namespace host::disk {

bool looksLikeAWeb(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const std::string_view name : {PrivateFolderName, metadata::FolderName}) {
        if (fs::is_directory(fs::symlink_status(folder / name, ec)))
            return true;
    }
    // Deeper down, as the window would list it; what it leaves out is said when the command runs. What
    // cannot be read holds nothing that makes it a web: the walk goes on past it, and the command says
    // the rest.
    std::ostringstream unused;
    std::unique_ptr<DiskApplication> web;
    std::vector<std::unique_ptr<host::Folder>> toList;
    try {
        web = std::make_unique<DiskApplication>(folder, unused);
        toList.push_back(web->activeWeb()->rootFolder());
    } catch (const host::Failure&) {
        return false;
    }
    while (!toList.empty() && !web->editorFoldersSeen()) {
        auto next = std::move(toList.back());
        toList.pop_back();
        try {
            for (auto& sub : next->folders())
                toList.push_back(std::move(sub));
        } catch (const host::Failure&) {
        }
    }
    return web->editorFoldersSeen();
}

void warnWhenNotAWeb(const DiskApplication& web, const std::string& given, std::ostream& warnings) {
    if (!web.editorFoldersSeen())
        warnings << "varnook: warning: '" << printable(given)
                 << "' is not a web (no _vti_pvt or _vti_cnf folder in it): every item shows published\n";
}

} // namespace host::disk
