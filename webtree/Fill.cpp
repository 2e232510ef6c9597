#include "webtree/Fill.h"

#include "host/Failure.h"
#include "webtree/FileImage.h"

#include <optional>
#include <string>

namespace webtree {
namespace {

constexpr const char* RootKey = "ROOT";

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

// An unmarked node clears the mark of its parent, and the walk goes on up to the root.
void clearMarksAbove(host::Node& fileNode) {
    for (host::Node* current = &fileNode; current != nullptr; current = current->parent()) {
        host::Node* parent = current->parent();
        if (!hasMarkSuffix(current->image()) && parent != nullptr) {
            parent->setImage(stripMarkSuffix(parent->image()));
            parent->setSelectedImage(stripMarkSuffix(parent->selectedImage()));
        }
    }
}

void FillFolder(FillContext& ctx, host::Folder& folder, const std::string& parentKey) {
    auto subFolders = folder.folders();
    for (auto& sub : subFolders) {
        const std::string subUrl = sub->url();
        ctx.tree.add(parentKey, subUrl, ctx.app.relativeUrl(folder, subUrl), "closed_n", "open_n");
        for (auto& file : sub->files()) {
            const std::string image = chooseFileImage(ctx.web, *file, /*guardHomeMark=*/false);
            const std::string fileUrl = file->url();
            host::Node& node =
                ctx.tree.add(subUrl, fileUrl, ctx.app.relativeUrl(*sub, fileUrl), image, image);
            clearMarksAbove(node);
        }
    }
    for (auto& sub : subFolders)
        FillFolder(ctx, *sub, sub->url());
}

} // namespace

bool hasMarkSuffix(std::string_view key) {
    return key.size() >= MarkSuffix.size() && key.substr(key.size() - MarkSuffix.size()) == MarkSuffix;
}

std::string stripMarkSuffix(std::string key) {
    for (auto pos = key.find(MarkSuffix); pos != std::string::npos; pos = key.find(MarkSuffix, pos))
        key.erase(pos, MarkSuffix.size());
    return key;
}

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
        tvwWeb.add(std::string(RootKey), fileUrl, app.relativeUrl(*root, fileUrl), image, image);
    }
    tvwWeb.nodeByIndex(1).setExpanded(true);
}

} // namespace webtree
