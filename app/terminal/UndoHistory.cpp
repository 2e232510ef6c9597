#include "app/terminal/UndoHistory.h"

#include "host/Failure.h"
#include "host/disk/Metadata.h"

#include <map>

namespace terminal {
namespace metadata = host::disk::metadata;

namespace {

bool holdsMark(const std::optional<std::string>& bytes) {
    if (!bytes)
        return false;
    try {
        return metadata::lookup(*bytes, "vti_donotpublish").textEquals("True");
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

ChoiceFiles::FolderId ChoiceFiles::addFolder(FolderId parent, std::string name) {
    folders_.push_back({parent, std::move(name), folders_[parent].depth + 1, std::nullopt});
    return static_cast<FolderId>(folders_.size() - 1);
}

std::string ChoiceFiles::pathOf(FolderId folder) const {
    std::string path;
    std::vector<FolderId> chain;
    for (FolderId f = folder; f != Web; f = folders_[f].parent)
        chain.push_back(f);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        path += (path.empty() ? "" : "/") + folders_[*it].name;
    return path;
}

ChoiceFiles ChoiceFiles::of(host::disk::DiskApplication& web, const std::vector<std::string>& parts,
                            bool folder) {
    ChoiceFiles out;
    const auto addFile = [&out](FolderId at, std::string name) {
        if (name.empty())
            out.folders_[at].ownFile = out.files_.size();
        out.files_.push_back({at, std::move(name)});
    };
    addFile(Web, "");
    FolderId at = Web;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i + 1 == parts.size() && !folder) {
            addFile(at, parts[i]);
            return out;
        }
        at = out.addFolder(at, parts[i]);
        addFile(at, "");
    }
    out.chosen_ = at;
    // Everything beneath it, folder by folder; the path of each is built once, from its parent's.
    std::vector<std::pair<FolderId, std::string>> pending{{at, out.pathOf(at)}};
    while (!pending.empty()) {
        auto [current, path] = std::move(pending.back());
        pending.pop_back();
        const auto listing = web.listFolder(path);
        if (!listing)
            continue; // gone since it was shown: nothing beneath it to change
        if (current != at)
            addFile(current, "");
        for (const auto& name : listing->files)
            addFile(current, name);
        for (auto it = listing->folders.rbegin(); it != listing->folders.rend(); ++it) {
            pending.emplace_back(out.addFolder(current, *it), path + "/" + *it);
        }
    }
    return out;
}

ChoiceFiles ChoiceFiles::ofFiles(const std::vector<std::vector<std::string>>& items) {
    ChoiceFiles out;
    std::map<std::pair<FolderId, std::string>, FolderId> known; // folders shared by several files
    for (const auto& parts : items) {
        FolderId at = Web;
        for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
            const auto [it, added] = known.try_emplace({at, parts[i]}, 0);
            if (added)
                it->second = out.addFolder(at, parts[i]);
            at = it->second;
        }
        if (!parts.empty())
            out.files_.push_back({at, parts.back()});
    }
    return out;
}

std::optional<std::size_t> ChoiceFiles::ownFileOf(FolderId folder) const {
    return folders_[folder].ownFile;
}

std::vector<std::size_t> ChoiceFiles::all() const {
    std::vector<std::size_t> out(files_.size());
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = i;
    return out;
}

void ChoiceFiles::forEach(
    const std::vector<std::size_t>& which,
    const std::function<void(std::size_t, std::string_view, std::string_view)>& visit) const {
    // The folders from the web down to the last one visited, and where each one's path ends.
    std::vector<FolderId> chain{Web};
    std::vector<std::size_t> ends{0};
    std::string path;
    std::vector<FolderId> down;
    for (const std::size_t i : which) {
        FolderId f = files_[i].folder;
        down.clear();
        while (folders_[f].depth >= chain.size() || chain[folders_[f].depth] != f) {
            down.push_back(f);
            f = folders_[f].parent;
        }
        chain.resize(folders_[f].depth + 1);
        ends.resize(chain.size());
        path.resize(ends.back());
        for (auto it = down.rbegin(); it != down.rend(); ++it) {
            if (!path.empty())
                path += '/';
            path += folders_[*it].name;
            chain.push_back(*it);
            ends.push_back(path.size());
        }
        visit(i, path, files_[i].name);
    }
}

std::string ChoiceFiles::shown(const host::disk::DiskApplication& web, std::size_t file) const {
    const std::string folder = pathOf(files_[file].folder);
    const std::string& name = files_[file].name;
    return web.webPath().string() + (folder.empty() ? "" : "/" + folder) + "/" +
           std::string(metadata::FolderName) + "/" +
           (name.empty() ? std::string(metadata::FolderInfoName) : name);
}

namespace {

FileSnapshot read(host::disk::DiskApplication& web, const ChoiceFiles& files,
                  const std::vector<std::size_t>& which) {
    FileSnapshot out;
    out.reserve(which.size());
    files.forEach(which, [&](std::size_t, std::string_view folder, std::string_view name) {
        out.push_back(web.readMetadataFile(folder, name));
    });
    return out;
}

// Puts `wanted` in place of `expected`: every file is first checked to hold its expected bytes; a write
// that fails midway puts back what was already written, then throws. Needs the web's write lock.
void replaceFiles(host::disk::DiskApplication& web, const Choice& choice, const FileSnapshot& expected,
                  const FileSnapshot& wanted) {
    const ChoiceFiles& files = *choice.files;
    const FileSnapshot now = read(web, files, choice.changed);
    for (std::size_t k = 0; k < now.size(); ++k) {
        if (now[k] != expected[k])
            throw host::Failure(host::status::Fail, files.shown(web, choice.changed[k]) +
                                                        " changed on disk since; nothing was changed");
    }
    std::size_t written = 0;
    try {
        files.forEach(choice.changed, [&](std::size_t, std::string_view folder, std::string_view name) {
            web.replaceMetadataFile(folder, name, wanted[written]);
            ++written;
        });
    } catch (...) {
        // Back to what the files held, so a failed undo leaves no mix of two states.
        std::size_t k = 0;
        files.forEach(choice.changed, [&](std::size_t, std::string_view folder, std::string_view name) {
            if (k < written) {
                try {
                    web.replaceMetadataFile(folder, name, expected[k]);
                } catch (...) {
                    // Already failing; the first error is the one to report.
                }
            }
            ++k;
        });
        throw;
    }
}

} // namespace

FileSnapshot snapshotFiles(host::disk::DiskApplication& web, const ChoiceFiles& files) {
    return read(web, files, files.all());
}

std::optional<Choice> choiceBetween(std::string label, std::shared_ptr<const ChoiceFiles> files,
                                    const FileSnapshot& before, const FileSnapshot& after) {
    Choice choice;
    choice.label = std::move(label);
    for (std::size_t i = 0; i < after.size() && i < before.size(); ++i) {
        if (before[i] == after[i])
            continue;
        choice.changed.push_back(i);
        choice.before.push_back(before[i]);
        choice.after.push_back(after[i]);
    }
    if (choice.changed.empty())
        return std::nullopt;
    choice.files = std::move(files);
    return choice;
}

std::size_t marksRemovedOnTheirOwn(const ChoiceFiles& files, const FileSnapshot& before,
                                   const FileSnapshot& after) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < after.size() && i < before.size(); ++i) {
        if (!holdsMark(before[i]) || holdsMark(after[i]))
            continue;
        const ChoiceFiles::FolderId folder = files.folderOf(i);
        const bool own = files.nameOf(i).empty();
        if (own && folder == files.chosenFolder())
            continue;
        std::optional<std::size_t> containerFile;
        if (!own)
            containerFile = files.ownFileOf(folder);
        else if (folder != ChoiceFiles::Web)
            containerFile = files.ownFileOf(files.parentOf(folder));
        if (!containerFile || !holdsMark(before[*containerFile]))
            ++count;
    }
    return count;
}

void UndoHistory::record(Choice choice) {
    done_.push_back(std::move(choice));
    undone_.clear();
}

const Choice& UndoHistory::undo(host::disk::DiskApplication& web) {
    if (done_.empty())
        throw host::Failure(host::status::NotFound, "nothing to undo");
    replaceFiles(web, done_.back(), done_.back().after, done_.back().before);
    undone_.push_back(std::move(done_.back()));
    done_.pop_back();
    return undone_.back();
}

const Choice& UndoHistory::redo(host::disk::DiskApplication& web) {
    if (undone_.empty())
        throw host::Failure(host::status::NotFound, "nothing to redo");
    replaceFiles(web, undone_.back(), undone_.back().before, undone_.back().after);
    done_.push_back(std::move(undone_.back()));
    undone_.pop_back();
    return done_.back();
}

void UndoHistory::clear() {
    done_.clear();
    undone_.clear();
}

} // namespace terminal
