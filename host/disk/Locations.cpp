// How a path below the web becomes a folder of its handles; apart from the object model because the
// locations of the tree and the paths the program names are walked the same way.
#include "host/disk/Locations.h"

#include "host/Failure.h"
#include "host/disk/SystemErrors.h"

#include <algorithm>
#include <string>

namespace host::disk {
namespace {

bool isPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

} // namespace

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

} // namespace host::disk
