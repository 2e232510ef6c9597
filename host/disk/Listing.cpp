// What a folder of the web shows and what kind each entry is; apart from the object model, which only
// asks for the names, so the rules of what is left out are read in one place.
#include "host/disk/Listing.h"

#include "host/Failure.h"
#include "host/Ownership.h"
#include "host/disk/Descriptor.h"
#include "host/disk/Metadata.h"
#include "host/disk/SystemCalls.h"
#include "host/disk/SystemErrors.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <ostream>
#include <string>
#include <sys/stat.h>

namespace host::disk {
namespace {

// Folders the editor hides by default; "_vti_*" names are its own bookkeeping and always hidden. The
// folders of version control are no part of the site: a web kept in git, Mercurial or Subversion holds
// them (and git a ".git" file in a worktree), and the deploy rules leave them out too.
constexpr std::array<std::string_view, 8> HiddenNames{"_derived", "_borders", "_overlay", "_themes",
                                                      "_fpclass", ".git",     ".hg",      ".svn"};

Kind kindOfMode(mode_t mode) {
    if (S_ISDIR(mode))
        return Kind::Folder;
    if (S_ISREG(mode))
        return Kind::File;
    return Kind::Other;
}

// The kind from the listing itself where the file system gives it: one stat fewer per entry.
Kind kindOfEntry(int dir, const dirent& entry) {
    switch (entry.d_type) {
    case DT_DIR:
        return Kind::Folder;
    case DT_REG:
        return Kind::File;
    case DT_LNK:
    case DT_UNKNOWN:
        return kindAt(dir, entry.d_name);
    default:
        return Kind::Other;
    }
}

// Why an entry that is neither a file nor a folder of the web has no place in it; none when it is gone.
std::optional<std::string_view> whyNotAnItem(int dir, const char* name) {
    struct stat own {};
    if (::fstatat(dir, name, &own, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    if (S_ISLNK(own.st_mode)) {
        struct stat target {};
        if (::fstatat(dir, name, &target, 0) != 0)
            return "it is a symbolic link to nothing";
        if (S_ISDIR(target.st_mode))
            return "it is a symbolic link to a folder, and links to folders are never followed";
        return "it is a symbolic link to something that is neither a file nor a folder";
    }
    if (S_ISFIFO(own.st_mode))
        return "it is a named pipe, not a file";
    if (S_ISSOCK(own.st_mode))
        return "it is a socket, not a file";
    if (S_ISCHR(own.st_mode) || S_ISBLK(own.st_mode))
        return "it is a device, not a file";
    return "it is neither a file nor a folder";
}

void reportLeftOut(WebState& state, HandleFolder& folder, const std::string& name, std::string_view reason) {
    const std::string where = state.folders.shownPath(folder);
    if (state.warned.insert(where + "/" + name).second)
        state.warnings << "varnook: warning: the window cannot show '" << printable(name) << "' in " << where
                       << ", so no mark keeps it from a deploy: " << reason << '\n';
}

} // namespace

bool isHidden(std::string_view name) {
    return name.starts_with("_vti_") ||
           std::find(HiddenNames.begin(), HiddenNames.end(), name) != HiddenNames.end();
}

bool holdsUnsafeCharacter(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return c == '\\' || u < 0x20 || u == 0x7F;
    });
}

Kind kindAt(int dir, const char* name) {
    struct stat own {};
    if (::fstatat(dir, name, &own, AT_SYMLINK_NOFOLLOW) != 0)
        return Kind::None;
    if (!S_ISLNK(own.st_mode))
        return kindOfMode(own.st_mode);
    struct stat target {};
    if (::fstatat(dir, name, &target, 0) == 0 && S_ISREG(target.st_mode))
        return Kind::File;
    return Kind::Other;
}

FolderListing list(WebState& state, HandleFolder& folder) {
    const int dir = state.folders.open(folder);
    const auto cannot = [&](int error) {
        return Failure(statusFor(error),
                       "cannot list the folder " + state.folders.shownPath(folder) + ": " + message(error));
    };
    // A descriptor of its own, since a listing moves the offset of the one it reads.
    Descriptor own(sys::openAt(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!own)
        throw cannot(errno);
    // A folder removed while it was held open lists as empty: that is a folder that is gone, not one
    // with nothing in it.
    struct stat held {};
    if (::fstat(own.get(), &held) == 0 && held.st_nlink == 0)
        throw cannot(ENOENT);
    DirectoryStream stream(::fdopendir(own.get()));
    if (!stream)
        throw cannot(errno);
    (void)own.release(); // the stream closes it now
    FolderListing out;
    errno = 0;
    while (const dirent* entry = ::readdir(stream.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == ".." || isHidden(name)) {
            if (!state.editorFoldersSeen && (name == PrivateFolderName || name == metadata::FolderName) &&
                kindOfEntry(dir, *entry) == Kind::Folder)
                state.editorFoldersSeen = true;
            errno = 0;
            continue;
        }
        if (holdsUnsafeCharacter(name)) {
            reportLeftOut(state, folder, entry->d_name, "its name holds a backslash or control character");
        } else {
            const Kind kind = kindOfEntry(dir, *entry);
            if (kind == Kind::File && name == metadata::FolderInfoName)
                reportLeftOut(state, folder, entry->d_name,
                              "its properties would be those of the folder itself");
            else if (kind == Kind::Folder)
                out.folders.emplace_back(name);
            else if (kind == Kind::File)
                out.files.emplace_back(name);
            else if (kind == Kind::Other) {
                // The window cannot show it, so no mark can keep it back: a deploy that copies the folder
                // as it stands would take it along unseen.
                if (const auto why = whyNotAnItem(dir, entry->d_name))
                    reportLeftOut(state, folder, entry->d_name, *why);
            }
        }
        errno = 0;
    }
    if (errno != 0)
        throw cannot(errno);
    // std::string compares as unsigned bytes, which is the order the editor shows.
    std::sort(out.folders.begin(), out.folders.end());
    std::sort(out.files.begin(), out.files.end());
    return out;
}

} // namespace host::disk
