#include "webtree/Fill.h"

#include "host/Failure.h"
#include "webtree/FileImage.h"
#include "webtree/NodeImages.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace webtree {
namespace {

constexpr std::string_view RootKey = "ROOT";

// What the walk needs beside the folder it is in.
struct FillContext {
    host::Application& app;
    host::Web& web;
    host::TreeModel& tree;
};

bool isHomePage(host::Web& web, host::File& file) {
    const std::optional<std::string> home = web.homePageUrl();
    return home.has_value() && file.url() == *home;
}

bool readHomeMark(host::File& file) {
    auto properties = file.properties();
    return properties->item(MarkProperty).toBoolean();
}

// In the root folder a home page whose mark cannot be read or converted shows unmarked; in any other
// folder the same read is not guarded.
std::string chooseFileImage(host::Web& web, host::File& file, bool guardHomeMark) {
    if (!isHomePage(web, file))
        return GetFileImage(file);
    bool marked = false;
    if (guardHomeMark) {
        try {
            marked = readHomeMark(file);
        } catch (const host::Failure&) {
            marked = false;
        }
    } else {
        marked = readHomeMark(file);
    }
    return marked ? "home_n" : "home";
}

// An unmarked node clears the mark of its parent, and the walk goes on up to the root. Every folder
// above an unmarked folder is unmarked already (each walk clears up to the root), so the walk ends at
// the first one: what it would do beyond changes nothing, and a deep web stays linear.
void clearMarksAbove(host::Node& fileNode) {
    for (host::Node* current = &fileNode; !hasMarkSuffix(current->image());) {
        host::Node* parent = current->parent();
        if (parent == nullptr || !hasMarkSuffix(parent->image()))
            return;
        parent->setImage(stripMarkSuffix(parent->image()));
        parent->setSelectedImage(stripMarkSuffix(parent->selectedImage()));
        current = parent;
    }
}

// A folder still to visit, with its node's key (kept by the tree).
struct PendingFolder {
    std::unique_ptr<host::Folder> folder;
    std::string_view key;
};
using Folders = std::vector<PendingFolder>;

// The first pass over a folder: a node for each sub-folder, followed at once by the nodes of its files.
Folders addSubFolders(FillContext& ctx, host::Folder& folder, std::string_view parentKey) {
    auto subFolders = folder.folders();
    Folders pending;
    pending.reserve(subFolders.size());
    for (auto& sub : subFolders) {
        const std::string subUrl = sub->url();
        const std::string_view subKey =
            ctx.tree.add(parentKey, subUrl, ctx.app.relativeUrl(folder, subUrl), "closed_n", "open_n").key();
        for (auto& file : sub->files()) {
            const std::string image = chooseFileImage(ctx.web, *file, /*guardHomeMark=*/false);
            const std::string fileUrl = file->url();
            host::Node& node =
                ctx.tree.add(subKey, fileUrl, ctx.app.relativeUrl(*sub, fileUrl), image, image);
            clearMarksAbove(node);
        }
        pending.push_back({std::move(sub), subKey});
    }
    return pending;
}

// Each folder's first pass, then the same for each of its sub-folders in turn, depth first. The folders
// still to visit are kept on a stack of our own rather than the call stack, which a web nested thousands
// of levels deep would exhaust.
void FillFolder(FillContext& ctx, host::Folder& root, std::string_view rootKey) {
    struct Level {
        Folders folders;
        std::size_t next = 0;
    };
    std::vector<Level> stack;
    stack.push_back({addSubFolders(ctx, root, rootKey)});
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next == level.folders.size()) {
            stack.pop_back();
            continue;
        }
        PendingFolder& sub = level.folders[level.next++];
        Folders below = addSubFolders(ctx, *sub.folder, sub.key);
        stack.push_back({std::move(below)}); // `level` is not used after this: the push may move it
    }
}

} // namespace

void Fill(host::Application& app, host::TreeModel& tvwWeb) {
    auto web = app.activeWeb();
    if (!web)
        throw host::Failure(host::status::NoObject, "no web is open");
    tvwWeb.add(std::nullopt, RootKey, web->url(), "web", "web");

    auto root = web->rootFolder();
    FillContext ctx{app, *web, tvwWeb};
    FillFolder(ctx, *root, RootKey);

    for (auto& file : root->files()) {
        const std::string image = chooseFileImage(*web, *file, /*guardHomeMark=*/true);
        const std::string fileUrl = file->url();
        tvwWeb.add(RootKey, fileUrl, app.relativeUrl(*root, fileUrl), image, image);
    }
    tvwWeb.nodeByIndex(1).setExpanded(true);
}

} // namespace webtree
