#include "host/disk/DiskWeb.h"

#include "host/Failure.h"
#include "host/disk/FolderHandles.h"
#include "host/disk/Metadata.h"
#include "host/disk/MetadataFiles.h"
#include "host/disk/SystemCalls.h"
#include "host/disk/SystemErrors.h"
#include "host/disk/WriteBatch.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace host::disk {

namespace fs = std::filesystem;
using HandleFolder = FolderHandles::Folder;

// A folder reached by a walk from the web's root, and its path below the web.
struct WalkedTo {
    HandleFolder* folder = nullptr;
    std::string rel;
};

struct WebState {
    fs::path root; // resolved
    std::string url;
    std::ostream& warnings;
    FolderHandles folders;
    std::set<std::string> warned; // entries already reported as left out
    // Keyed by the metadata file a change finally lands in: its folder and its name.
    std::map<std::pair<const HandleFolder*, std::string>, std::vector<metadata::Change>> pending;
    // While the write lock is held: the batch of replacements, and the metadata folders already tidied.
    std::unique_ptr<WriteBatch> batch;
    std::unordered_set<const HandleFolder*> tidied;
    // The lock file while the lock is held, and whether it says that temporary files are being written.
    int lockFd = -1;
    bool writingAnnounced = false;
    // The folder of the last location found (opened and checked at each step), and of the last place
    // named by a path (its entry only), so that walking a tree of nodes or a deep web's metadata files
    // finds each from its neighbour instead of from the root: linear in depth, not quadratic.
    WalkedTo lastFolder;
    WalkedTo lastPlace;
    // The folder part of the last location found, already checked for empty, "." and ".." steps.
    std::string checkedFolderRel;
    bool editorFoldersSeen = false;                // a "_vti_pvt" or "_vti_cnf" folder in a listing so far
    std::map<std::string, std::string> unreadable; // items whose metadata could not be read, with why

    WebState(fs::path r, std::string u, std::ostream& w, Descriptor rootFd)
        : root(std::move(r)), url(std::move(u)), warnings(w), folders(std::move(rootFd), url) {}
};

namespace {

// Folders the editor hides by default; "_vti_*" names are its own bookkeeping and always hidden.
constexpr std::array<std::string_view, 5> HiddenNames{"_derived", "_borders", "_overlay", "_themes",
                                                      "_fpclass"};
constexpr std::array<std::string_view, 4> HomePageNames{"index.htm", "index.html", "default.htm",
                                                        "default.html"};
constexpr std::string_view LockFileName = "varnook.lock";

bool isHidden(std::string_view name) {
    return name.starts_with("_vti_") ||
           std::find(HiddenNames.begin(), HiddenNames.end(), name) != HiddenNames.end();
}

// The marking code builds locations with "\" between names, so a name holding one cannot be told apart
// from a path; control characters would corrupt the metadata lines and the user's terminal.
bool holdsUnsafeCharacter(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return c == '\\' || u < 0x20 || u == 0x7F;
    });
}

// Beside the errno overload, which this one would hide.
using host::disk::statusFor;
std::int32_t statusFor(const std::error_code& ec) {
    return ec.category() == std::generic_category() || ec.category() == std::system_category()
               ? statusFor(ec.value())
               : status::Fail;
}

// A path below a folder with "/" between names and no empty, "." or ".." step.
bool isPlainPath(std::string_view path) {
    while (true) {
        const auto slash = path.find('/');
        const std::string_view step = path.substr(0, slash);
        if (step.empty() || step == "." || step == "..")
            return false;
        if (slash == std::string_view::npos)
            return true;
        path.remove_prefix(slash + 1);
    }
}

// Turns every back slash into a slash; a plain select per character, which the compiler vectorises.
void slashesForward(std::string& text) {
    for (char& c : text)
        c = c == '\\' ? '/' : c;
}

enum class Kind { None, Folder, File, Other };

Kind kindOfMode(mode_t mode) {
    if (S_ISDIR(mode))
        return Kind::Folder;
    if (S_ISREG(mode))
        return Kind::File;
    return Kind::Other;
}

// Symbolic links to folders are never followed, so no walk can leave the web or run in a loop. A link
// to a regular file counts as the file: its metadata lives beside the link and the target is never opened.
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

std::string joined(const std::string& rel, std::string_view name) {
    return rel.empty() ? std::string(name) : rel + "/" + std::string(name);
}

std::string urlOf(const WebState& state, const std::string& rel) {
    return rel.empty() ? state.url : state.url + "/" + rel;
}

void reportLeftOut(WebState& state, HandleFolder& folder, const std::string& name, std::string_view reason) {
    const std::string where = state.folders.shownPath(folder);
    if (state.warned.insert(where + "/" + name).second)
        state.warnings << "varnook: warning: left out '" << printable(name) << "' in " << where << ": "
                       << reason << '\n';
}

using DirectoryStream = UniqueHandle<DIR*, ::closedir>;

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

// Where a walk to the folder at `rel` below the web may start: the folder last walked to when `rel` lies
// below or above it, else the root; with what is left to walk from there.
std::pair<HandleFolder*, std::string_view> walkStart(const WalkedTo& last, HandleFolder& root,
                                                     std::string_view rel) {
    if (last.folder == nullptr)
        return {&root, rel};
    const std::string_view lastRel = last.rel;
    const auto stepsAt = [](std::string_view path, std::size_t at) {
        return path.size() == at || at == 0 || path[at] == '/';
    };
    if (rel.starts_with(lastRel) && stepsAt(rel, lastRel.size()))
        return {last.folder, rel.substr(std::min(rel.size(), lastRel.size() + (lastRel.empty() ? 0 : 1)))};
    if (lastRel.starts_with(rel) && stepsAt(lastRel, rel.size())) {
        HandleFolder* folder = last.folder;
        for (std::size_t i = rel.size(); i < lastRel.size(); ++i) {
            if (lastRel[i] == '/' || (rel.empty() && i == 0))
                folder = folder->parent;
        }
        return {folder, {}};
    }
    return {&root, rel};
}

// The item a set of properties belongs to: a folder, or a file in a folder.
struct ItemPlace {
    HandleFolder* folder;
    std::string fileName; // empty for the folder itself
    std::string rel;

    bool isFolder() const { return fileName.empty(); }
    const std::string& metadataName() const {
        static const std::string folderInfo(metadata::FolderInfoName);
        return isFolder() ? folderInfo : fileName;
    }
};

// Written into the lock file below the count while temporary files of this writer may lie in the web: a
// writer killed before its commit leaves it there, and the next writer then clears the whole web.
constexpr std::string_view WritingNote = "writing\n";

// Fails when the note cannot be written: the temporary files could then outlive a killed writer unseen.
void announceWriting(WebState& state) {
    if (state.writingAnnounced || state.lockFd < 0)
        return;
    struct stat info {};
    if (::fstat(state.lockFd, &info) != 0 ||
        sys::writeAt(state.lockFd, WritingNote.data(), WritingNote.size(), info.st_size) !=
            static_cast<ssize_t>(WritingNote.size()))
        throw Failure(statusFor(errno), "cannot write to the web's lock file in " + state.url + "/" +
                                            std::string(PrivateFolderName) + ": " + message(errno));
    state.writingAnnounced = true;
}

bool writingWasAnnounced(int lockFd) {
    char text[64] = {};
    const ssize_t n = ::pread(lockFd, text, sizeof text - 1, 0);
    return n > 0 &&
           std::string_view(text, static_cast<std::size_t>(n)).find(WritingNote) != std::string_view::npos;
}

// Removes the temporary files a killed writer left in the metadata folder of every folder of the web.
// Tidying only: a folder that cannot be listed is passed over, and fails nothing.
void removeStaleTemporaries(WebState& state) {
    std::vector<HandleFolder*> pending{&state.folders.root()};
    while (!pending.empty()) {
        HandleFolder& folder = *pending.back();
        pending.pop_back();
        try {
            const FolderListing listing = list(state, folder);
            if (const auto metadataFolder = state.folders.metadataFolder(folder, false))
                metadata::removeStaleTemporariesAt(metadataFolder->get(), {});
            for (const auto& name : listing.folders)
                pending.push_back(&state.folders.child(folder, name));
        } catch (const Failure&) {
        }
    }
}

std::string shownPath(const WebState& state, const ItemPlace& place) {
    return state.folders.shownPath(*place.folder) + "/" + std::string(metadata::FolderName) + "/" +
           printable(place.metadataName());
}

class DiskProperties final : public Properties {
  public:
    DiskProperties(std::shared_ptr<WebState> state, ItemPlace place)
        : state_(std::move(state)), place_(std::move(place)) {}

    Value item(std::string_view name) override {
        try {
            const auto document = current();
            return document ? metadata::lookup(*document, name) : Value::empty();
        } catch (const Failure& f) {
            // The window reads such a mark as "publish"; whoever deploys must be able to learn of it.
            state_->unreadable.try_emplace(place_.rel, f.what());
            throw;
        }
    }

    void set(std::string_view name, const Value& value) override {
        metadata::formatLine(name, value); // refuses a value that could not be written, before it is pending
        record(name, value);
    }

    void remove(std::string_view name) override {
        if (!present(name))
            throw Failure(status::InvalidArg, "no property '" + std::string(name) + "' on " + url());
        record(name, std::nullopt);
    }

    void apply() override {
        const auto pending = state_->pending.find(key());
        if (pending == state_->pending.end())
            return;
        // Whatever happens now, these changes are done with: a failed apply is not retried by the next.
        const auto changes = std::move(pending->second);
        state_->pending.erase(pending);
        requireItem();
        const auto document = current();
        const auto next =
            metadata::rewrite(document ? std::optional<std::string_view>(*document) : std::nullopt, changes);
        if (next)
            write(*next);
    }

    // The metadata file as a whole, for putting back what a choice changed.
    std::optional<std::string> wholeFile() { return current(); }
    void replaceWholeFile(const std::optional<std::string>& bytes) {
        if (bytes) {
            write(*bytes);
            return;
        }
        const std::string& name = place_.metadataName();
        if (state_->batch)
            state_->batch->cancel(*place_.folder, name);
        const auto folder = state_->folders.metadataFolder(*place_.folder, false);
        if (!folder)
            return;
        if (::unlinkat(folder->get(), name.c_str(), 0) != 0) {
            if (errno == ENOENT)
                return;
            throw Failure(statusFor(errno), "cannot remove " + shown() + ": " + message(errno));
        }
        if (state_->batch)
            state_->batch->noteRemoval();
    }

  private:
    std::pair<const HandleFolder*, std::string> key() const { return {place_.folder, place_.metadataName()}; }
    std::string url() const { return urlOf(*state_, place_.rel); }
    std::string shown() const { return shownPath(*state_, place_); }

    // The stored document, as the pending replacements of this write session leave it.
    std::optional<std::string> current() {
        if (state_->batch) {
            if (const std::string* staged = state_->batch->staged(*place_.folder, place_.metadataName()))
                return *staged;
        }
        const auto folder = state_->folders.metadataFolder(*place_.folder, false);
        if (!folder)
            return std::nullopt;
        return metadata::readAt(folder->get(), place_.metadataName(), [this] { return shown(); });
    }

    // Present once pending changes are counted in, as a later apply would leave it.
    bool present(std::string_view name) {
        const auto pending = state_->pending.find(key());
        if (pending != state_->pending.end()) {
            const auto change = find(pending->second, name);
            if (change != pending->second.end())
                return change->value.has_value();
        }
        const auto document = current();
        return document && metadata::contains(*document, name);
    }

    using Changes = std::vector<metadata::Change>;
    static Changes::iterator find(Changes& changes, std::string_view name) {
        return std::find_if(changes.begin(), changes.end(),
                            [&](const metadata::Change& c) { return c.name == name; });
    }

    void record(std::string_view name, std::optional<Value> value) {
        auto& changes = state_->pending[key()];
        const auto change = find(changes, name);
        if (change != changes.end())
            change->value = std::move(value);
        else
            changes.push_back({std::string(name), std::move(value)});
    }

    // Metadata written for an item that has gone would show up again for whatever takes its name.
    void requireItem() {
        const int dir = state_->folders.open(*place_.folder);
        struct stat info {};
        if (::fstat(dir, &info) != 0 || info.st_nlink == 0)
            throw Failure(status::NotFound,
                          "cannot apply the properties of " + url() + ": the folder is no longer there");
        if (!place_.isFolder() && kindAt(dir, place_.fileName.c_str()) != Kind::File)
            throw Failure(status::NotFound,
                          "cannot apply the properties of " + url() + ": the file is no longer there");
    }

    void write(const std::string& bytes) {
        const int dir = state_->folders.open(*place_.folder);
        const bool existed = state_->folders.metadataFolder(*place_.folder, false) != nullptr;
        const std::string& name = place_.metadataName();
        try {
            const auto folder = state_->folders.metadataFolder(*place_.folder, true);
            WriteBatch* batch = state_->batch.get();
            if (batch && state_->tidied.insert(place_.folder).second)
                metadata::removeStaleTemporariesAt(folder->get(), batch->temporariesIn(*place_.folder));
            if (batch)
                announceWriting(*state_);
            const std::string temp = metadata::writeTemporaryAt(folder->get(), name, bytes, batch == nullptr,
                                                                [this] { return shown(); });
            if (batch) {
                // The batch lives in the web's state, so the state outlives what it keeps.
                batch->stage(*place_.folder, name, temp, bytes,
                             [state = state_.get(), place = place_] { return shownPath(*state, place); });
                if (batch->full())
                    batch->flush();
                return;
            }
            if (sys::renameAt(folder->get(), temp.c_str(), folder->get(), name.c_str()) != 0) {
                const int error = errno;
                ::unlinkat(folder->get(), temp.c_str(), 0);
                throw Failure(statusFor(error), "cannot replace " + shown() + ": " + message(error));
            }
            // Without this the rename itself may not survive a crash.
            if (sys::syncFolder(folder->get()) != 0)
                throw Failure(statusFor(errno), "cannot make " + shown() + " durable: " + message(errno));
        } catch (...) {
            // A metadata folder made for nothing is taken away again, so the folder looks as before.
            if (!existed && ::unlinkat(dir, std::string(metadata::FolderName).c_str(), AT_REMOVEDIR) == 0)
                place_.folder->metadataFolder.reset();
            throw;
        }
    }

    std::shared_ptr<WebState> state_;
    ItemPlace place_;
};

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

bool isPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

// A place below the web given by its path: the folder it lies in (from the web's root down, through the
// web's folder handles) and its name there (empty for the web itself). Null when a name of it is empty,
// "." or "..". Nothing is opened: only the folder entries are found or made.
std::optional<std::pair<HandleFolder*, std::string_view>> placeBelow(WebState& state, std::string_view rel) {
    const auto slash = rel.rfind('/');
    const std::string_view folderRel =
        slash == std::string_view::npos ? std::string_view() : rel.substr(0, slash);
    const std::string_view last = slash == std::string_view::npos ? rel : rel.substr(slash + 1);
    if ((!last.empty() && !isPlainName(last)) ||
        (slash != std::string_view::npos && (folderRel.empty() || folderRel.back() == '/')))
        return std::nullopt;
    auto [at, rest] = walkStart(state.lastPlace, state.folders.root(), folderRel);
    // rest cannot end in "/": that was refused above.
    while (!rest.empty()) {
        const auto next = rest.find('/');
        const std::string_view name = rest.substr(0, next);
        if (!isPlainName(name))
            return std::nullopt;
        at = &state.folders.child(*at, name);
        rest = next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
    }
    state.lastPlace = {at, std::string(folderRel)};
    return std::make_pair(at, last);
}

// The properties of one item found by its place below the web rather than by a listing: its folder's path
// ("" for the web, "/" between names) and its name in that folder ("" for the folder itself).
DiskProperties propertiesAt(const std::shared_ptr<WebState>& state, std::string_view folder,
                            std::string_view file) {
    const auto place = placeBelow(*state, folder);
    if (!place || (!file.empty() && !isPlainName(file)))
        throw Failure(status::InvalidArg,
                      "'" + printable(folder) + "', '" + printable(file) + "' is not a place of the web");
    HandleFolder* at =
        place->second.empty() ? place->first : &state->folders.child(*place->first, place->second);
    std::string rel(folder);
    if (!file.empty())
        rel += (rel.empty() ? "" : "/") + std::string(file);
    return DiskProperties(state, ItemPlace{at, std::string(file), std::move(rel)});
}

// The web's lock file, in its private folder (made when missing, and kept out of the tree like every
// "_vti_" folder).
Descriptor openLockFile(WebState& state, bool create) {
    const int root = state.folders.open(state.folders.root());
    const std::string folderName(PrivateFolderName);
    const std::string shown = state.url + "/" + folderName + "/" + std::string(LockFileName);
    const auto cannot = [&](int error) {
        return Failure(statusFor(error), "cannot lock the web: " + shown + ": " + message(error));
    };
    const int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    Descriptor folder(sys::openAt(root, folderName.c_str(), folderFlags));
    if (!folder.valid() && errno == ENOENT && create) {
        if (sys::makeFolderAt(root, folderName.c_str(), 0777) != 0 && errno != EEXIST)
            throw cannot(errno);
        folder = Descriptor(sys::openAt(root, folderName.c_str(), folderFlags));
        struct stat owner {};
        if (folder.valid() && ::geteuid() == 0 && ::fstat(root, &owner) == 0)
            (void)::fchown(folder.get(), owner.st_uid, owner.st_gid);
    }
    if (!folder.valid()) {
        if (!create && errno == ENOENT)
            return Descriptor();
        throw cannot(errno);
    }
    // Non-blocking, so that a pipe in its place cannot stop the program at the open.
    const int flags = (create ? O_RDWR | O_CREAT : O_RDONLY) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    Descriptor fd(sys::openAt(folder.get(), std::string(LockFileName).c_str(), flags, 0666));
    if (!fd.valid()) {
        if (!create && errno == ENOENT)
            return Descriptor();
        throw cannot(errno);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        throw Failure(status::Fail, "cannot lock the web: " + shown + " is not a regular file");
    // A second name of the same file may lie outside the web; the count written into it would land there.
    if (create && info.st_nlink != 1)
        throw Failure(status::Fail,
                      "cannot lock the web: " + shown + " has " + std::to_string(info.st_nlink) +
                          " names (hard links), so it may be a file outside the web; remove it");
    // Made by root in a web that belongs to someone else: it stays theirs, so they can lock it too.
    struct stat owner {};
    if (create && ::geteuid() == 0 && ::fstat(folder.get(), &owner) == 0 &&
        (info.st_uid != owner.st_uid || info.st_gid != owner.st_gid))
        (void)::fchown(fd.get(), owner.st_uid, owner.st_gid);
    return fd;
}

std::uint64_t readCount(int fd) {
    char text[32] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0)
        return 0;
    return std::strtoull(text, nullptr, 10);
}

} // namespace

bool hasLockFile(const fs::path& web) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(web / PrivateFolderName / LockFileName, ec));
}

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

std::unique_ptr<WriteLock> DiskApplication::lockForWriting(bool wait,
                                                           const std::function<void()>& stillWaiting) {
    if (state_->batch)
        throw Failure(status::Fail, "the web " + state_->url + " is already locked for writing");
    Descriptor fd = openLockFile(*state_, true);
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK)
            throw Failure(statusFor(errno), "cannot lock the web " + state_->url + ": " + message(errno));
        if (!wait)
            throw Failure(status::Fail,
                          "the web " + state_->url +
                              " is being changed by another varnook; not waiting for it (--no-wait)");
        using namespace std::chrono;
        const auto giveNotice = steady_clock::now() + seconds(1);
        bool locked = false;
        while (!locked && steady_clock::now() < giveNotice) {
            std::this_thread::sleep_for(milliseconds(20));
            locked = ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0;
        }
        if (!locked) {
            if (stillWaiting)
                stillWaiting();
            else
                state_->warnings << "varnook: waiting for another varnook to finish changing the web "
                                 << state_->url << "...\n"
                                 << std::flush;
            while (::flock(fd.get(), LOCK_EX) != 0) {
                if (errno != EINTR)
                    throw Failure(statusFor(errno),
                                  "cannot lock the web " + state_->url + ": " + message(errno));
            }
        }
    }
    // Whatever was resolved before the lock may have changed since: every folder is opened afresh.
    state_->folders.forget();
    state_->lastFolder = {};
    state_->batch = std::make_unique<WriteBatch>(state_->folders);
    state_->tidied.clear();
    state_->lockFd = fd.get();
    state_->writingAnnounced = false;
    if (writingWasAnnounced(fd.get())) {
        removeStaleTemporaries(*state_);
        state_->writingAnnounced = true; // so that the commit rewrites the lock file without the note
    }
    const std::uint64_t count = readCount(fd.get());
    return std::unique_ptr<WriteLock>(new WriteLock(state_, std::move(fd), count));
}

std::uint64_t DiskApplication::changeCount() {
    const Descriptor fd = openLockFile(*state_, false);
    return fd.valid() ? readCount(fd.get()) : 0;
}

WriteLock::WriteLock(std::shared_ptr<WebState> state, Descriptor fd, std::uint64_t count)
    : state_(std::move(state)), fd_(std::move(fd)), countAtStart_(count) {}

WriteLock::~WriteLock() {
    if (!fd_.valid())
        return;
    try {
        commit();
    } catch (const std::exception& e) {
        state_->warnings << "varnook: " << e.what() << '\n';
    }
}

void WriteLock::commit() {
    if (!fd_.valid())
        return;
    std::optional<Failure> failure;
    try {
        state_->batch->flush();
    } catch (const Failure& f) {
        failure = f;
    }
    const bool changed = state_->batch->changed() > 0;
    if (changed || state_->writingAnnounced) {
        // A new count tells a window filled before these changes that its marks are stale.
        const std::string text = std::to_string(countAtStart_ + (changed ? 1 : 0)) + "\n";
        if (sys::writeAt(fd_.get(), text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()) ||
            ::ftruncate(fd_.get(), static_cast<off_t>(text.size())) != 0) {
            const int error = errno;
            if (!failure)
                failure =
                    Failure(statusFor(error), "the marks were written, but not the web's change count in " +
                                                  state_->url + "/" + std::string(PrivateFolderName) + "/" +
                                                  std::string(LockFileName) + ": " + message(error) +
                                                  "; a window open on the web shows its old marks");
        }
    }
    state_->batch.reset();
    state_->tidied.clear();
    state_->lockFd = -1;
    state_->writingAnnounced = false;
    fd_.reset(); // releases the flock
    if (failure)
        throw *failure;
}

} // namespace host::disk
