#include "host/disk/Metadata.h"

#include "host/Failure.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace host::disk::metadata {
namespace {

namespace fs = std::filesystem;

struct Line {
    std::string text;
    std::string ending; // "\r\n", "\n", or "" for a last line without one
};

std::vector<Line> splitLines(std::string_view document) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < document.size()) {
        const std::size_t lf = document.find('\n', start);
        if (lf == std::string_view::npos) {
            lines.push_back({std::string(document.substr(start)), ""});
            break;
        }
        std::size_t end = lf;
        if (end > start && document[end - 1] == '\r')
            --end;
        lines.push_back({std::string(document.substr(start, end - start)),
                         std::string(document.substr(end, lf + 1 - end))});
        start = lf + 1;
    }
    return lines;
}

// New lines follow whatever the file mostly uses; the editor itself writes CRLF.
std::string dominantEnding(const std::vector<Line>& lines) {
    const auto lf = std::count_if(lines.begin(), lines.end(), [](const Line& l) { return l.ending == "\n"; });
    const auto crlf =
        std::count_if(lines.begin(), lines.end(), [](const Line& l) { return l.ending == "\r\n"; });
    return lf > crlf ? "\n" : "\r\n";
}

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string lowered(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return out;
}

std::string unescape(std::string_view raw, bool inName) {
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c != '\\' || i + 1 == raw.size()) {
            out += c;
            continue;
        }
        const char next = raw[i + 1];
        if (next == '\\' || (inName && next == ':'))
            out += next;
        else if (next == 'r')
            out += '\r';
        else if (next == 'n')
            out += '\n';
        else {
            // An escape the format does not define is kept as written rather than guessed at.
            out += c;
            continue;
        }
        ++i;
    }
    return out;
}

std::string escape(std::string_view text, bool inName) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (inName && c == ':')
            out += "\\:";
        else
            out += c;
    }
    return out;
}

template <class Visit> void forEachEntry(std::string_view document, Visit visit) {
    std::size_t start = 0;
    while (start < document.size()) {
        std::size_t lf = document.find('\n', start);
        if (lf == std::string_view::npos)
            lf = document.size();
        std::string_view line = document.substr(start, lf - start);
        if (!line.empty() && line.back() == '\r' && lf < document.size())
            line.remove_suffix(1);
        if (auto entry = parseLine(line); entry && visit(*entry))
            return;
        start = lf + 1;
    }
}

std::int32_t statusFor(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return status::AccessDenied;
    case ENOENT:
        return status::NotFound;
    default:
        return status::Fail;
    }
}

Failure systemFailure(const std::string& what, const fs::path& path, int error) {
    return Failure(statusFor(error),
                   what + " " + path.string() + ": " + std::generic_category().message(error));
}

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closing can report a write the kernel deferred, so the caller needs its result.
    int close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

  private:
    int fd_;
};

// Everything a failed write created is taken away again, so the folder looks as it did before.
class WriteRollback {
  public:
    void createdFolder(fs::path folder) { folder_ = std::move(folder); }
    void createdTemp(fs::path temp) { temp_ = std::move(temp); }
    void commit() {
        temp_.clear();
        folder_.clear();
    }
    ~WriteRollback() {
        if (!temp_.empty())
            ::unlink(temp_.c_str());
        if (!folder_.empty())
            ::rmdir(folder_.c_str());
    }

  private:
    fs::path folder_;
    fs::path temp_;
};

std::string tempName() {
    static std::atomic<unsigned> counter{0};
    return ".varnook-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

} // namespace

std::optional<Entry> parseLine(std::string_view line) {
    std::size_t colon = 0;
    while (colon < line.size() && line[colon] != ':')
        colon += line[colon] == '\\' ? 2 : 1;
    if (colon == 0 || colon >= line.size() || line.size() < colon + 4)
        return std::nullopt;
    const char type = line[colon + 1];
    const char access = line[colon + 2];
    if (!isLetter(type) || !isLetter(access) || line[colon + 3] != '|')
        return std::nullopt;
    return Entry{unescapeName(line.substr(0, colon)), type, access, unescapeValue(line.substr(colon + 4))};
}

std::string escapeName(std::string_view name) {
    return escape(name, true);
}
std::string escapeValue(std::string_view value) {
    return escape(value, false);
}
std::string unescapeName(std::string_view raw) {
    return unescape(raw, true);
}
std::string unescapeValue(std::string_view raw) {
    return unescape(raw, false);
}

Value toValue(const Entry& entry) {
    const std::string& v = entry.value;
    const char* const first = v.data();
    const char* const last = v.data() + v.size();
    switch (entry.type) {
    case 'B': {
        const std::string word = lowered(v);
        if (word == "true" || word == "1")
            return Value::boolean(true);
        if (word == "false" || word == "0")
            return Value::boolean(false);
        break;
    }
    case 'I': {
        long long n = 0;
        if (auto [end, ec] = std::from_chars(first, last, n); ec == std::errc() && end == last && !v.empty())
            return Value::number(static_cast<double>(n));
        break;
    }
    case 'D': {
        double d = 0;
        if (auto [end, ec] = std::from_chars(first, last, d); ec == std::errc() && end == last && !v.empty())
            return Value::number(d);
        break;
    }
    default:
        break;
    }
    return Value::text(v);
}

std::string formatLine(std::string_view name, const Value& value) {
    if (name.empty())
        throw Failure(status::InvalidArg, "a property needs a name");
    char type = 'S';
    std::string text;
    if (value.isBoolean()) {
        type = 'B';
        text = value.toBoolean() ? "true" : "false";
    } else if (value.isNumber()) {
        // Value offers numbers only as the platform's text, which is also the precision it stores.
        text = value.toText();
        double d = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
        if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(d))
            throw Failure(status::InvalidArg,
                          "property '" + std::string(name) + "' cannot be stored as " + text);
        if (d == std::trunc(d) && std::fabs(d) < 9.2e18) {
            type = 'I';
            text = std::to_string(static_cast<long long>(d));
        } else {
            type = 'D';
        }
    } else if (value.isText()) {
        text = value.toText();
    } else {
        throw Failure(status::InvalidArg,
                      "property '" + std::string(name) + "' cannot be stored as " + describe(value));
    }
    return escapeName(name) + ":" + type + "W|" + escapeValue(text);
}

Value lookup(std::string_view document, std::string_view name) {
    Value found;
    forEachEntry(document, [&](const Entry& entry) {
        if (entry.name != name)
            return false;
        found = toValue(entry);
        return true;
    });
    return found;
}

bool contains(std::string_view document, std::string_view name) {
    bool found = false;
    forEachEntry(document, [&](const Entry& entry) { return found = entry.name == name; });
    return found;
}

std::optional<std::string> rewrite(std::optional<std::string_view> current,
                                   const std::vector<Change>& changes) {
    const bool anySet =
        std::any_of(changes.begin(), changes.end(), [](const Change& c) { return c.value.has_value(); });
    if (!current && !anySet)
        return std::nullopt;
    const std::string base = current ? std::string(*current) : std::string(Header) + "\r\n";
    std::vector<Line> lines = splitLines(base);
    const std::string ending = dominantEnding(lines);

    for (const Change& change : changes) {
        auto named = [&](const Line& line) {
            const auto entry = parseLine(line.text);
            return entry && entry->name == change.name;
        };
        if (!change.value) {
            std::erase_if(lines, named);
            continue;
        }
        std::string text = formatLine(change.name, *change.value);
        const auto first = std::find_if(lines.begin(), lines.end(), named);
        if (first != lines.end()) {
            first->text = std::move(text);
            // Later duplicates would contradict the new value for any reader that takes the last line.
            lines.erase(std::remove_if(std::next(first), lines.end(), named), lines.end());
            continue;
        }
        if (!lines.empty() && lines.back().ending.empty())
            lines.back().ending = ending;
        lines.push_back({std::move(text), ending});
    }

    std::string out;
    out.reserve(base.size() + 64);
    for (const Line& line : lines)
        out += line.text + line.ending;
    if (out == base)
        return std::nullopt;
    return out;
}

fs::path fileMetadataPath(const fs::path& folder, std::string_view name) {
    return folder / FolderName / name;
}

fs::path folderMetadataPath(const fs::path& folder) {
    return folder / FolderName / FolderInfoName;
}

std::optional<std::string> readFile(const fs::path& path) {
    // Non-blocking so that a FIFO planted where a metadata file belongs cannot hang the add-in, and
    // never through a link, which could lead the read outside the web.
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
    if (fd.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        if (errno == ELOOP)
            throw Failure(status::Fail,
                          "cannot read the metadata file " + path.string() + ": it is a symbolic link");
        throw systemFailure("cannot read the metadata file", path, errno);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        throw systemFailure("cannot read the metadata file", path, errno);
    if (!S_ISREG(info.st_mode))
        throw Failure(status::Fail,
                      "cannot read the metadata file " + path.string() + ": it is not a regular file");
    std::string bytes;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw systemFailure("cannot read the metadata file", path, errno);
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}

void writeFileAtomically(const fs::path& path, std::string_view bytes) {
    const fs::path folder = path.parent_path();
    WriteRollback rollback;

    struct stat folderInfo {};
    if (::lstat(folder.c_str(), &folderInfo) != 0) {
        if (errno != ENOENT)
            throw systemFailure("cannot write metadata in", folder, errno);
        if (::mkdir(folder.c_str(), 0777) != 0)
            throw systemFailure("cannot create the metadata folder", folder, errno);
        rollback.createdFolder(folder);
    } else if (!S_ISDIR(folderInfo.st_mode)) {
        // A symbolic link here could carry the write outside the web.
        throw Failure(status::Fail,
                      "cannot write metadata in " + folder.string() + ": it is not a real folder");
    }

    // The replacement keeps the permissions of the file it replaces.
    struct stat oldInfo {};
    const bool keepMode = ::lstat(path.c_str(), &oldInfo) == 0 && S_ISREG(oldInfo.st_mode);
    const mode_t mode = keepMode ? (oldInfo.st_mode & 07777) : 0666;

    fs::path temp;
    int raw = -1;
    for (int attempt = 0; raw < 0; ++attempt) {
        temp = folder / tempName();
        raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (raw < 0 && (errno != EEXIST || attempt == 100))
            throw systemFailure("cannot create a temporary file for", path, errno);
    }
    rollback.createdTemp(temp);
    Descriptor fd(raw);

    if (keepMode && ::fchmod(fd.get(), mode) != 0)
        throw systemFailure("cannot write", path, errno);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd.get(), bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw systemFailure("cannot write", path, errno);
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd.get()) != 0 || fd.close() != 0)
        throw systemFailure("cannot write", path, errno);
    if (::rename(temp.c_str(), path.c_str()) != 0)
        throw systemFailure("cannot replace", path, errno);
    rollback.commit();

    // Without this the rename itself may not survive a crash; the data is already safe either way.
    Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
}

} // namespace host::disk::metadata
