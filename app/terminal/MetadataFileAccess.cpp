#include "app/terminal/MetadataFileAccess.h"

#include "host/Failure.h"
#include "host/disk/Metadata.h"

namespace terminal::metadata_files {
namespace {

namespace fs = std::filesystem;

// The item a metadata file belongs to, as the disk web names it: its folder below the web and its name
// there ("" for the folder's own file).
struct Place {
    std::string folder;
    std::string file;
};

Place placeOf(const host::disk::DiskApplication& web, const fs::path& path) {
    const fs::path rel = path.lexically_relative(web.webPath());
    const fs::path metadataFolder = rel.parent_path();
    if (rel.empty() || *rel.begin() == ".." || metadataFolder.filename() != host::disk::metadata::FolderName)
        throw host::Failure(host::status::InvalidArg, path.string() + " is no metadata file of the web");
    const std::string name = rel.filename().string();
    return {metadataFolder.parent_path().generic_string(),
            name == host::disk::metadata::FolderInfoName ? std::string() : name};
}

} // namespace

fs::path ofFile(const fs::path& folder, std::string_view name) {
    return folder / host::disk::metadata::FolderName / name;
}

fs::path ofFolder(const fs::path& folder) {
    return folder / host::disk::metadata::FolderName / host::disk::metadata::FolderInfoName;
}

std::optional<std::string> read(host::disk::DiskApplication& web, const fs::path& path) {
    const Place place = placeOf(web, path);
    return web.readMetadataFile(place.folder, place.file);
}

void replace(host::disk::DiskApplication& web, const fs::path& path,
             const std::optional<std::string>& bytes) {
    const Place place = placeOf(web, path);
    web.replaceMetadataFile(place.folder, place.file, bytes);
}

} // namespace terminal::metadata_files
