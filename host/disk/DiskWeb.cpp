#include "host/disk/DiskWeb.h"

#include "host/Failure.h"
#include "host/disk/Metadata.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <ostream>
#include <set>
#include <system_error>
#include <vector>

namespace host::disk {

namespace fs = std::filesystem;

struct WebState {
    fs::path root; // resolved
    std::string url;
    std::ostream& warnings;
    std::set<std::string> warned; // entries already reported as left out
    // Keyed by metadata file, which is what a change finally lands in.
    std::map<std::string, std::vector<metadata::Change>> pending;
};

namespace {

// Folders the editor hides by default; "_vti_*" names are its own bookkeeping and always hidden.
constexpr std::array<std::string_view, 5> HiddenNames{"_derived", "_borders", "_overlay", "_themes",
                                                      "_fpclass"};
constexpr std::array<std::string_view, 4> HomePageNames{"index.htm", "index.html", "default.htm",
                                                        "default.html"};

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

std::string printable(std::string_view s) {
    std::string out;
    for (const char c : s) {
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

std::int32_t statusFor(const std::error_code& ec) {
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted)
        return status::AccessDenied;
    if (ec == std::errc::no_such_file_or_directory)
        return status::NotFound;
    return status::Fail;
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

enum class Kind { None, Folder, File };

// Symbolic links to folders are never followed, so no walk can leave the web or run in a loop. A link
// to a regular file counts as the file: its metadata lives beside the link and the target is never opened.
Kind kindOf(const fs::path& path) {
    std::error_code ec;
    const fs::file_status own = fs::symlink_status(path, ec);
    if (ec)
        return Kind::None;
    if (fs::is_directory(own))
        return Kind::Folder;
    if (fs::is_regular_file(own))
        return Kind::File;
    if (fs::is_symlink(own) && fs::is_regular_file(fs::status(path, ec)))
        return Kind::File;
    return Kind::None;
}

std::string joined(const std::string& rel, std::string_view name) {
    return rel.empty() ? std::string(name) : rel + "/" + std::string(name);
}

std::string parentOf(const std::string& rel) {
    const auto slash = rel.rfind('/');
    return slash == std::string::npos ? std::string() : rel.substr(0, slash);
}

std::string nameOf(const std::string& rel) {
    return rel.substr(rel.rfind('/') + 1);
}

fs::path pathOf(const WebState& state, const std::string& rel) {
    return rel.empty() ? state.root : state.root / rel;
}

std::string urlOf(const WebState& state, const std::string& rel) {
    return rel.empty() ? state.url : state.url + "/" + rel;
}

// The folder on disk, provided every step to it is still a real folder of the web: one replaced by a
// symbolic link since it was listed could otherwise lead a listing or a write outside.
fs::path realFolder(const WebState& state, const std::string& rel, const std::string& what) {
    const fs::path path = pathOf(state, rel);
    std::error_code ec;
    const fs::path resolved = fs::canonical(path, ec);
    if (ec)
        throw Failure(statusFor(ec), what + " " + path.string() + ": " + ec.message());
    if (resolved != path || !fs::is_directory(fs::status(resolved, ec)))
        throw Failure(status::NotFound, what + " " + path.string() + ": it is no longer a folder of the web");
    return path;
}

struct Listing {
    std::vector<std::string> folders;
    std::vector<std::string> files;
};

class LeftOut {
  public:
    explicit LeftOut(WebState& state) : state_(state) {}
    void report(const fs::path& folder, const std::string& name, std::string_view reason) {
        if (state_.warned.insert((folder / name).string()).second)
            state_.warnings << "varnook: warning: left out '" << printable(name) << "' in " << folder.string()
                            << ": " << reason << '\n';
    }

  private:
    WebState& state_;
};

Listing list(WebState& state, const std::string& rel) {
    const fs::path folder = realFolder(state, rel, "cannot list the folder");
    LeftOut leftOut(state);
    Listing out;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (isHidden(name))
            continue;
        if (holdsUnsafeCharacter(name)) {
            leftOut.report(folder, name, "its name holds a backslash or control character");
            continue;
        }
        const Kind kind = kindOf(it->path());
        if (kind == Kind::File && name == metadata::FolderInfoName) {
            leftOut.report(folder, name, "its properties would be those of the folder itself");
            continue;
        }
        if (kind == Kind::Folder)
            out.folders.push_back(name);
        else if (kind == Kind::File)
            out.files.push_back(name);
    }
    if (ec)
        throw Failure(statusFor(ec), "cannot list the folder " + folder.string() + ": " + ec.message());
    // std::string compares as unsigned bytes, which is the order the editor shows.
    std::sort(out.folders.begin(), out.folders.end());
    std::sort(out.files.begin(), out.files.end());
    return out;
}

class DiskProperties final : public Properties {
  public:
    DiskProperties(std::shared_ptr<WebState> state, std::string rel, bool isFolder)
        : state_(std::move(state)), rel_(std::move(rel)), isFolder_(isFolder),
          path_(isFolder_ ? metadata::folderMetadataPath(pathOf(*state_, rel_))
                          : metadata::fileMetadataPath(pathOf(*state_, parentOf(rel_)), nameOf(rel_))) {}

    Value item(std::string_view name) override {
        const auto document = metadata::readFile(path_);
        return document ? metadata::lookup(*document, name) : Value::empty();
    }

    void set(std::string_view name, const Value& value) override {
        metadata::formatLine(name, value); // refuses a value that could not be written, before it is pending
        record(name, value);
    }

    void remove(std::string_view name) override {
        if (!present(name))
            throw Failure(status::InvalidArg,
                          "no property '" + std::string(name) + "' on " + urlOf(*state_, rel_));
        record(name, std::nullopt);
    }

    void apply() override {
        const auto pending = state_->pending.find(path_.string());
        if (pending == state_->pending.end())
            return;
        requireItem();
        const auto current = metadata::readFile(path_);
        const auto next = metadata::rewrite(
            current ? std::optional<std::string_view>(*current) : std::nullopt, pending->second);
        if (next)
            metadata::writeFileAtomically(path_, *next);
        state_->pending.erase(pending);
    }

  private:
    using Changes = std::vector<metadata::Change>;

    static Changes::iterator find(Changes& changes, std::string_view name) {
        return std::find_if(changes.begin(), changes.end(),
                            [&](const metadata::Change& c) { return c.name == name; });
    }

    // Present once pending changes are counted in, as a later apply would leave it.
    bool present(std::string_view name) {
        const auto pending = state_->pending.find(path_.string());
        if (pending != state_->pending.end()) {
            const auto change = find(pending->second, name);
            if (change != pending->second.end())
                return change->value.has_value();
        }
        const auto document = metadata::readFile(path_);
        return document && metadata::contains(*document, name);
    }

    void record(std::string_view name, std::optional<Value> value) {
        auto& changes = state_->pending[path_.string()];
        const auto change = find(changes, name);
        if (change != changes.end())
            change->value = std::move(value);
        else
            changes.push_back({std::string(name), std::move(value)});
    }

    // Metadata written for an item that has gone would show up again for whatever takes its name.
    void requireItem() {
        const std::string what = "cannot apply the properties of " + urlOf(*state_, rel_) + ": the folder";
        realFolder(*state_, isFolder_ ? rel_ : parentOf(rel_), what);
        if (!isFolder_ && kindOf(pathOf(*state_, rel_)) != Kind::File)
            throw Failure(status::NotFound, "cannot apply the properties of " + urlOf(*state_, rel_) +
                                                ": the file is no longer there");
    }

    std::shared_ptr<WebState> state_;
    std::string rel_;
    bool isFolder_;
    fs::path path_;
};

class DiskFile final : public File {
  public:
    DiskFile(std::shared_ptr<WebState> state, std::string rel)
        : state_(std::move(state)), rel_(std::move(rel)) {}

    std::string url() override { return urlOf(*state_, rel_); }
    std::string extension() override {
        const std::string name = nameOf(rel_);
        const auto dot = name.rfind('.');
        return dot == std::string::npos ? std::string() : name.substr(dot + 1);
    }
    std::unique_ptr<Properties> properties() override {
        return std::make_unique<DiskProperties>(state_, rel_, false);
    }

  private:
    std::shared_ptr<WebState> state_;
    std::string rel_;
};

class DiskFolder final : public Folder {
  public:
    DiskFolder(std::shared_ptr<WebState> state, std::string rel)
        : state_(std::move(state)), rel_(std::move(rel)) {}

    std::string url() override { return urlOf(*state_, rel_); }
    std::unique_ptr<Properties> properties() override {
        return std::make_unique<DiskProperties>(state_, rel_, true);
    }
    std::vector<std::unique_ptr<Folder>> folders() override {
        std::vector<std::unique_ptr<Folder>> out;
        for (const auto& name : list(*state_, rel_).folders)
            out.push_back(std::make_unique<DiskFolder>(state_, joined(rel_, name)));
        return out;
    }
    std::vector<std::unique_ptr<File>> files() override {
        std::vector<std::unique_ptr<File>> out;
        for (const auto& name : list(*state_, rel_).files)
            out.push_back(std::make_unique<DiskFile>(state_, joined(rel_, name)));
        return out;
    }

  private:
    std::shared_ptr<WebState> state_;
    std::string rel_;
};

class DiskWebObject final : public Web {
  public:
    explicit DiskWebObject(std::shared_ptr<WebState> state) : state_(std::move(state)) {}

    std::string url() override { return state_->url; }
    std::unique_ptr<Folder> rootFolder() override { return std::make_unique<DiskFolder>(state_, ""); }

    std::optional<std::string> homePageUrl() override {
        for (const auto name : HomePageNames) {
            if (kindOf(state_->root / name) == Kind::File)
                return urlOf(*state_, std::string(name));
        }
        return std::nullopt;
    }

    std::unique_ptr<Item> locate(std::string_view location) override {
        std::string wanted(location);
        std::replace(wanted.begin(), wanted.end(), '\\', '/');
        const std::string& base = state_->url;
        if (wanted == base)
            return std::make_unique<DiskFolder>(state_, "");
        if (wanted.size() <= base.size() || !wanted.starts_with(base) || wanted[base.size()] != '/')
            throw Failure(status::InvalidArg,
                          "the location '" + printable(location) + "' is outside the web " + base);
        const std::string rel = wanted.substr(base.size() + 1);
        // The marking code never builds such steps, so one means a bug or a forged location.
        if (!isPlainPath(rel))
            throw Failure(status::InvalidArg,
                          "the location '" + printable(location) + "' holds an empty, \".\" or \"..\" step");

        std::string current;
        std::size_t start = 0;
        while (true) {
            const auto slash = rel.find('/', start);
            const std::string name =
                rel.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
            if (isHidden(name) || holdsUnsafeCharacter(name))
                return nullptr;
            current = joined(current, name);
            const Kind kind = kindOf(pathOf(*state_, current));
            if (slash != std::string::npos) {
                if (kind != Kind::Folder)
                    return nullptr;
                start = slash + 1;
                continue;
            }
            if (kind == Kind::Folder)
                return std::make_unique<DiskFolder>(state_, current);
            if (kind == Kind::File && name != metadata::FolderInfoName)
                return std::make_unique<DiskFile>(state_, current);
            return nullptr;
        }
    }

  private:
    std::shared_ptr<WebState> state_;
};

} // namespace

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
    if (!fs::is_directory(fs::status(root, ec)))
        throw Failure(status::InvalidArg, cannot + ": it is not a folder");
    const fs::directory_iterator probe(root, ec);
    if (ec)
        throw Failure(statusFor(ec), cannot + ": " + ec.message());
    state_ = std::make_shared<WebState>(WebState{std::move(root), text, warnings, {}, {}});
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
