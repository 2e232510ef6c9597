#include "app/terminal/UndoHistory.h"

#include "app/terminal/MetadataFileAccess.h"
#include "host/Failure.h"
#include "host/disk/Metadata.h"

#include <system_error>

namespace terminal {
namespace fs = std::filesystem;
namespace metadata = host::disk::metadata;

namespace {

bool isMetadataFolder(const fs::path& p) {
    return p.filename() == metadata::FolderName;
}

void addFolderTree(const fs::path& folder, std::vector<fs::path>& out) {
    out.push_back(metadata_files::ofFolder(folder));
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path& p = it->path();
        std::error_code typeError;
        if (isMetadataFolder(p.parent_path())) {
            // Every file kept there, so an item the web does not list is covered too.
            if (it->is_regular_file(typeError))
                out.push_back(p);
            continue;
        }
        if (it->is_symlink(typeError)) {
            continue;
        }
        if (it->is_directory(typeError)) {
            if (isMetadataFolder(p))
                continue;
            out.push_back(metadata_files::ofFolder(p));
        } else if (it->is_regular_file(typeError)) {
            out.push_back(metadata_files::ofFile(p.parent_path(), p.filename().string()));
        }
    }
}

bool holdsMark(const std::optional<std::string>& bytes) {
    if (!bytes)
        return false;
    try {
        return metadata::lookup(*bytes, "vti_donotpublish").textEquals("True");
    } catch (const std::exception&) {
        return false;
    }
}

// The folder an item's metadata file belongs to, and the folder that contains that item.
fs::path itemOf(const fs::path& metadataFile) {
    const fs::path folder = metadataFile.parent_path().parent_path();
    if (metadataFile.filename() == metadata::FolderInfoName)
        return folder;
    return folder / metadataFile.filename();
}

const std::optional<std::string>* find(const FileSnapshot& s, const fs::path& p) {
    const auto it = s.find(p);
    return it == s.end() ? nullptr : &it->second;
}

} // namespace

FileSnapshot snapshotFiles(host::disk::DiskApplication& web, const std::vector<fs::path>& paths) {
    FileSnapshot snapshot;
    for (const auto& p : paths)
        snapshot.emplace(p, metadata_files::read(web, p));
    return snapshot;
}

std::vector<fs::path> metadataFilesOfChoice(const fs::path& web, const std::vector<std::string>& parts,
                                            bool folder) {
    std::vector<fs::path> out;
    fs::path current = web;
    out.push_back(metadata_files::ofFolder(current));
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        if (last && !folder) {
            out.push_back(metadata_files::ofFile(current, parts[i]));
            break;
        }
        current /= parts[i];
        if (last)
            addFolderTree(current, out);
        else
            out.push_back(metadata_files::ofFolder(current));
    }
    return out;
}

std::optional<Choice> choiceBetween(std::string label, const FileSnapshot& before,
                                    const FileSnapshot& after) {
    Choice choice;
    choice.label = std::move(label);
    for (const auto& [path, bytes] : after) {
        const auto* old = find(before, path);
        if (old == nullptr || *old == bytes)
            continue;
        choice.before.emplace(path, *old);
        choice.after.emplace(path, bytes);
    }
    if (choice.after.empty())
        return std::nullopt;
    return choice;
}

std::size_t marksRemovedOnTheirOwn(const FileSnapshot& before, const FileSnapshot& after,
                                   const fs::path& chosenFolder) {
    std::size_t count = 0;
    for (const auto& [path, bytes] : after) {
        const auto* old = find(before, path);
        if (old == nullptr || !holdsMark(*old) || holdsMark(bytes))
            continue;
        const fs::path item = itemOf(path);
        if (item == chosenFolder)
            continue;
        const auto* container = find(before, metadata_files::ofFolder(item.parent_path()));
        if (container == nullptr || !holdsMark(*container))
            ++count;
    }
    return count;
}

void replaceFiles(host::disk::DiskApplication& web, const FileSnapshot& expected,
                  const FileSnapshot& wanted) {
    for (const auto& [path, bytes] : expected) {
        if (metadata_files::read(web, path) != bytes)
            throw host::Failure(host::status::Fail,
                                path.string() + " changed on disk since; nothing was changed");
    }
    std::vector<fs::path> done;
    try {
        for (const auto& [path, bytes] : wanted) {
            metadata_files::replace(web, path, bytes);
            done.push_back(path);
        }
    } catch (...) {
        // Back to what the files held, so a failed undo leaves no mix of two states.
        for (const auto& path : done) {
            try {
                metadata_files::replace(web, path, expected.at(path));
            } catch (...) {
                // Already failing; the first error is the one to report.
            }
        }
        throw;
    }
}

void UndoHistory::record(Choice choice) {
    done_.push_back(std::move(choice));
    undone_.clear();
}

const Choice& UndoHistory::undo(host::disk::DiskApplication& web) {
    if (done_.empty())
        throw host::Failure(host::status::NotFound, "nothing to undo");
    replaceFiles(web, done_.back().after, done_.back().before);
    undone_.push_back(std::move(done_.back()));
    done_.pop_back();
    return undone_.back();
}

const Choice& UndoHistory::redo(host::disk::DiskApplication& web) {
    if (undone_.empty())
        throw host::Failure(host::status::NotFound, "nothing to redo");
    replaceFiles(web, undone_.back().before, undone_.back().after);
    done_.push_back(std::move(undone_.back()));
    undone_.pop_back();
    return done_.back();
}

void UndoHistory::clear() {
    done_.clear();
    undone_.clear();
}

} // namespace terminal
