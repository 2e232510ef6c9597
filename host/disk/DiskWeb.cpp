// The web object model over a folder on disk (web, folders, files) and the application that opens it;
// listing, properties, locations and the lock each have a file of their own.
#include "host/disk/DiskWeb.h"

#include "host/Failure.h"
#include "host/disk/DiskProperties.h"
#include "host/disk/Listing.h"
#include "host/disk/Locations.h"
#include "host/disk/Metadata.h"
#include "host/disk/SystemCalls.h"
#include "host/disk/SystemErrors.h"
#include "host/disk/WebState.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace host::disk {

namespace fs = std::filesystem;

namespace {

// Beside the errno overload, which this one would hide.
using host::disk::statusFor;
std::int32_t statusFor(const std::error_code& ec) {
    return ec.category() == std::generic_category() || ec.category() == std::system_category()
               ? statusFor(ec.value())
               : status::Fail;
}

// Turns every back slash into a slash; a plain select per character, which the compiler vectorises.
void slashesForward(std::string& text) {
    for (char& c : text)
        c = c == '\\' ? '/' : c;
}

std::string joined(const std::string& rel, std::string_view name) {
    return rel.empty() ? std::string(name) : rel + "/" + std::string(name);
}

class DiskFile final : public File {
  public:
    DiskFile(std::shared_ptr<WebState> state, HandleFolder& folder, std::string rel)
        : state_(std::move(state)), folder_(folder), rel_(std::move(rel)) {}

    std::string url() override { return urlOf(*state_, rel_); }
    std::string extension() override {
        const std::string_view name = this->name();
        const auto dot = name.rfind('.');
        return dot == std::string::npos ? std::string() : std::string(name.substr(dot + 1));
    }
    std::unique_ptr<Properties> properties() override {
        return std::make_unique<DiskProperties>(state_, ItemPlace{&folder_, std::string(name()), rel_});
    }

  private:
    std::string_view name() const { return std::string_view(rel_).substr(rel_.rfind('/') + 1); }

    std::shared_ptr<WebState> state_;
    HandleFolder& folder_;
    std::string rel_;
};

class DiskFolder final : public Folder {
  public:
    DiskFolder(std::shared_ptr<WebState> state, HandleFolder& folder, std::string rel)
        : state_(std::move(state)), folder_(folder), rel_(std::move(rel)) {}

    std::string url() override { return urlOf(*state_, rel_); }
    std::unique_ptr<Properties> properties() override {
        return std::make_unique<DiskProperties>(state_, ItemPlace{&folder_, {}, rel_});
    }
    // Filling asks a folder for its files and later for its sub-folders: one listing serves both.
    std::vector<std::unique_ptr<Folder>> folders() override {
        std::vector<std::string> names =
            take(&FolderListing::folders, &FolderListing::files, otherFiles_, otherFolders_);
        std::vector<std::unique_ptr<Folder>> out;
        out.reserve(names.size());
        for (auto& name : names) {
            HandleFolder& child = state_->folders.child(folder_, name);
            out.push_back(std::make_unique<DiskFolder>(state_, child, joined(rel_, name)));
        }
        return out;
    }
    std::vector<std::unique_ptr<File>> files() override {
        std::vector<std::string> names =
            take(&FolderListing::files, &FolderListing::folders, otherFolders_, otherFiles_);
        std::vector<std::unique_ptr<File>> out;
        out.reserve(names.size());
        for (auto& name : names)
            out.push_back(std::make_unique<DiskFile>(state_, folder_, joined(rel_, name)));
        return out;
    }

  private:
    using Names = std::vector<std::string>;
    // The wanted half of a listing: kept from the last one when it was put aside for this call, otherwise
    // listed afresh, keeping the other half for the next call.
    Names take(Names FolderListing::*wanted, Names FolderListing::*other, std::optional<Names>& keepOther,
               std::optional<Names>& kept) {
        if (kept) {
            Names names = std::move(*kept);
            kept.reset();
            return names;
        }
        FolderListing listing = list(*state_, folder_);
        keepOther = std::move(listing.*other);
        return std::move(listing.*wanted);
    }

    std::shared_ptr<WebState> state_;
    HandleFolder& folder_;
    std::string rel_;
    std::optional<Names> otherFolders_; // sub-folders listed along with the files, not yet handed out
    std::optional<Names> otherFiles_;   // files listed along with the sub-folders, not yet handed out
};

class DiskWebObject final : public Web {
  public:
    explicit DiskWebObject(std::shared_ptr<WebState> state) : state_(std::move(state)) {}

    std::string url() override { return state_->url; }
    std::unique_ptr<Folder> rootFolder() override {
        return std::make_unique<DiskFolder>(state_, state_->folders.root(), "");
    }

    // Asked for every file while filling: looked up once per Web object.
    std::optional<std::string> homePageUrl() override {
        if (!homePage_) {
            homePage_.emplace();
            const int root = state_->folders.open(state_->folders.root());
            for (const auto name : HomePageNames) {
                if (kindAt(root, std::string(name).c_str()) == Kind::File) {
                    *homePage_ = urlOf(*state_, std::string(name));
                    break;
                }
            }
        }
        return *homePage_;
    }

    std::unique_ptr<Item> locate(std::string_view location) override {
        std::string wanted(location);
        slashesForward(wanted);
        const std::string& base = state_->url;
        if (wanted == base)
            return std::make_unique<DiskFolder>(state_, state_->folders.root(), "");
        if (wanted.size() <= base.size() || !wanted.starts_with(base) || wanted[base.size()] != '/')
            throw Failure(status::InvalidArg,
                          "the location '" + printable(location) + "' is outside the web " + base);
        std::string rel = wanted.substr(base.size() + 1);
        // The marking code never builds such steps, so one means a bug or a forged location. The folder
        // of the last location was checked already: the items of a folder are located one after another,
        // and a web thousands of folders deep would otherwise check each long path anew.
        const std::string& checked = state_->checkedFolderRel;
        const bool inChecked = !checked.empty() && rel.size() > checked.size() + 1 &&
                               rel.starts_with(checked) && rel[checked.size()] == '/';
        if (!isPlainPath(inChecked ? std::string_view(rel).substr(checked.size() + 1)
                                   : std::string_view(rel)))
            throw Failure(status::InvalidArg,
                          "the location '" + printable(location) + "' holds an empty, \".\" or \"..\" step");

        const auto slash = rel.rfind('/');
        const std::string parentRel = slash == std::string::npos ? std::string() : rel.substr(0, slash);
        const std::string name = rel.substr(slash == std::string::npos ? 0 : slash + 1);
        state_->checkedFolderRel = parentRel;
        HandleFolder* parent = folderAt(parentRel);
        if (parent == nullptr || isHidden(name) || holdsUnsafeCharacter(name))
            return nullptr;
        const int dir = state_->folders.open(*parent);
        struct stat info {};
        if (::fstatat(dir, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            return nullptr;
        if (S_ISDIR(info.st_mode)) {
            HandleFolder& folder = state_->folders.child(*parent, name);
            if (!sameFolder(folder, info))
                return nullptr;
            return std::make_unique<DiskFolder>(state_, folder, std::move(rel));
        }
        if (kindAt(dir, name.c_str()) == Kind::File && name != metadata::FolderInfoName)
            return std::make_unique<DiskFile>(state_, *parent, std::move(rel));
        return nullptr;
    }

  private:
    // A folder held open since it was listed may have been replaced by another of the same name: the
    // one there now is the one meant, so every folder is then resolved afresh.
    bool sameFolder(HandleFolder& folder, const struct stat& now) {
        if (!folder.isOpen)
            return true;
        struct stat held {};
        if (::fstat(folder.fd.get(), &held) == 0 && held.st_dev == now.st_dev && held.st_ino == now.st_ino)
            return true;
        state_->folders.forget();
        state_->lastFolder = {};
        try {
            state_->folders.open(folder);
        } catch (const Failure& f) {
            if (f.status() != status::NotFound)
                throw;
            return false;
        }
        return true;
    }

    // The folder at a path below the web, walked from the last one found; none when a step is not a
    // real folder (a link, a file, nothing, hidden or unsafe).
    HandleFolder* folderAt(const std::string& rel) {
        auto [folder, rest] = walkStart(state_->lastFolder, state_->folders.root(), rel);
        while (!rest.empty()) {
            const auto slash = rest.find('/');
            const std::string_view name = rest.substr(0, slash);
            rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
            if (isHidden(name) || holdsUnsafeCharacter(name))
                return nullptr;
            HandleFolder& child = state_->folders.child(*folder, name);
            try {
                state_->folders.open(child);
            } catch (const Failure& f) {
                // Nothing there, or not a real folder: none. A folder there that cannot be opened is a
                // failure, not an absence.
                if (f.status() != status::NotFound)
                    throw;
                return nullptr;
            }
            folder = &child;
        }
        state_->lastFolder = {folder, rel};
        return folder;
    }

    std::shared_ptr<WebState> state_;
    std::optional<std::optional<std::string>> homePage_;
};

} // namespace

bool DiskApplication::editorFoldersSeen() const {
    return state_->editorFoldersSeen;
}

const std::map<std::string, std::string>& DiskApplication::unreadableMarks() const {
    return state_->unreadable;
}

void DiskApplication::forgetUnreadableMarks() {
    state_->unreadable.clear();
}

std::optional<std::string> DiskApplication::readMetadataFile(std::string_view folder, std::string_view file) {
    try {
        return propertiesAt(state_, folder, file).wholeFile();
    } catch (const Failure& f) {
        if (f.status() == status::NotFound)
            return std::nullopt; // its folder is gone, or is no real folder any more
        throw;
    }
}

std::optional<std::string> DiskApplication::readFile(std::string_view rel) {
    const std::string shown = state_->url + "/" + printable(rel);
    const auto place = placeBelow(*state_, rel);
    if (!place || place->second.empty())
        throw Failure(status::InvalidArg, "cannot read " + shown + ": it is no file's path below the web");
    const auto cannot = [&](int error) {
        return Failure(statusFor(error), "cannot read " + shown + ": " + message(error));
    };
    Descriptor file(sys::openAt(state_->folders.open(*place->first), std::string(place->second).c_str(),
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
        throw Failure(status::Fail, "cannot read " + shown + ": it is not a regular file");
    std::string bytes;
    char buffer[65536];
    for (ssize_t n; (n = sys::read(file.get(), buffer, sizeof buffer)) != 0;) {
        if (n < 0)
            throw cannot(errno);
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}

bool DiskApplication::exists(std::string_view rel) {
    const auto place = placeBelow(*state_, rel);
    if (!place || place->second.empty())
        return false;
    try {
        struct stat info {};
        return ::fstatat(state_->folders.open(*place->first), std::string(place->second).c_str(), &info,
                         AT_SYMLINK_NOFOLLOW) == 0;
    } catch (const Failure&) {
        return false; // a folder on the way is missing or no real folder
    }
}

std::optional<FolderListing> DiskApplication::listFolder(std::string_view folder) {
    const auto place = placeBelow(*state_, folder);
    if (!place)
        throw Failure(status::InvalidArg, "'" + printable(folder) + "' is no folder's path below the web");
    HandleFolder& at =
        place->second.empty() ? *place->first : state_->folders.child(*place->first, place->second);
    try {
        return list(*state_, at);
    } catch (const Failure& f) {
        if (f.status() == status::NotFound)
            return std::nullopt;
        throw;
    }
}

void DiskApplication::replaceMetadataFile(std::string_view folder, std::string_view file,
                                          const std::optional<std::string>& bytes) {
    if (!state_->batch)
        throw Failure(status::Fail,
                      "a metadata file of " + state_->url + " is replaced only under the write lock");
    propertiesAt(state_, folder, file).replaceWholeFile(bytes);
}

DiskApplication::DiskApplication(const fs::path& webPath, std::ostream& warnings) {
    const std::string cannot = "cannot open the web at " + printable(webPath.string());
    std::error_code ec;
    fs::path root = fs::canonical(webPath, ec);
    if (ec)
        throw Failure(statusFor(ec), cannot + ": " + ec.message());
    const std::string text = root.string();
    if (holdsUnsafeCharacter(text))
        throw Failure(status::InvalidArg,
                      cannot + ": its path " + printable(text) + " holds a backslash or control character");
    // Its URL would be empty and every item URL would start with "//".
    if (text == "/")
        throw Failure(status::InvalidArg, cannot + ": the root of the file system cannot be a web");
    Descriptor fd(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == ENOTDIR)
            throw Failure(status::InvalidArg, cannot + ": it is not a folder");
        throw Failure(statusFor(errno), cannot + ": " + message(errno));
    }
    // A folder that opens but cannot be listed would fail only later, half way through a fill.
    const fs::directory_iterator probe(root, ec);
    if (ec)
        throw Failure(statusFor(ec), cannot + ": " + ec.message());
    state_ = std::make_shared<WebState>(std::move(root), text, warnings, std::move(fd));
}

DiskApplication::~DiskApplication() = default;

std::unique_ptr<host::Web> DiskApplication::activeWeb() {
    return std::make_unique<DiskWebObject>(state_);
}

std::string DiskApplication::relativeUrl(host::Folder& base, std::string_view url) {
    const std::string baseUrl = base.url();
    const bool below =
        url.size() > baseUrl.size() + 1 && url.starts_with(baseUrl) && url[baseUrl.size()] == '/';
    if (!below || !isPlainPath(url.substr(baseUrl.size() + 1)))
        throw Failure(status::InvalidArg, "'" + printable(url) + "' is not below the folder " + baseUrl);
    return std::string(url.substr(baseUrl.size() + 1));
}

const fs::path& DiskApplication::webPath() const {
    return state_->root;
}

} // namespace host::disk
