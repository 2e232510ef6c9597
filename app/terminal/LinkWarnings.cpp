#include "app/terminal/LinkWarnings.h"

#include "app/publishing/Deployment.h"
#include "app/publishing/Unlinked.h"
#include "webtree/NodeImages.h"

#include <algorithm>

namespace terminal {
namespace {

// Node keys are the items' URLs: the web's URL (the root's text), "/" and the path below it.
const host::Node* nodeAt(const host::TreeModel& tree, const std::string& path) {
    if (tree.roots().empty())
        return nullptr;
    const host::Node& root = *tree.roots().front();
    if (path == ".")
        return &root;
    return tree.find(std::string(root.text()) + "/" + path);
}

bool deployed(const host::Node* node) {
    return node != nullptr && app::deploymentOf(*node).deployed;
}

void addPage(LinkWarning& warning, const std::string& page) {
    ++warning.links;
    if (std::find(warning.pages.begin(), warning.pages.end(), page) == warning.pages.end())
        warning.pages.push_back(page);
}

} // namespace

std::string describe(const LinkWarning& warning) {
    std::string text = "linked from ";
    const std::size_t named = std::min<std::size_t>(warning.pages.size(), 3);
    for (std::size_t i = 0; i < named; ++i)
        text += (i > 0 ? ", " : "") + warning.pages[i];
    if (warning.pages.size() > named)
        text += " and " + std::to_string(warning.pages.size() - named) + " more";
    return text + (warning.links == 1 ? ": this link will break" : ": these links will break");
}

LinkWarnings LinkWarnings::build(const host::TreeModel& tree, host::disk::DiskApplication& web) {
    std::vector<std::string> documents;
    tree.forEachInTreeOrder([&](const host::Node& node, std::size_t) {
        if (node.parent() == nullptr || webtree::isFolderNode(node))
            return;
        const std::string path = pathBelowWeb(node);
        if (links::isPage(path) || links::isStyleSheet(path))
            documents.push_back(path);
    });
    LinkWarnings result;
    result.index_ =
        links::indexDocuments([&](const std::string& path) { return web.readFile(path); }, documents);
    return result;
}

std::unordered_map<const host::Node*, LinkWarning> LinkWarnings::warnings(const host::TreeModel& tree) const {
    std::unordered_map<const host::Node*, LinkWarning> out;
    // Page and target nodes looked up once each, however many links share them.
    std::unordered_map<std::string, const host::Node*> nodes;
    auto lookUp = [&](const std::string& path) {
        const auto [it, added] = nodes.try_emplace(path, nullptr);
        if (added)
            it->second = nodeAt(tree, path);
        return it->second;
    };
    for (const links::Link& link : index_.links()) {
        if (!deployed(lookUp(link.page)))
            continue;
        const host::Node* target = lookUp(link.target);
        if (target != nullptr && !deployed(target))
            addPage(out[target], link.page);
    }
    return out;
}

std::unordered_set<const host::Node*> LinkWarnings::unlinked(const host::TreeModel& tree) const {
    const std::vector<const host::Node*> files = app::unlinkedFiles(tree, index_);
    return {files.begin(), files.end()};
}

LinkWarning LinkWarnings::into(const host::TreeModel& tree, const host::Node& node) const {
    LinkWarning warning;
    if (deployed(&node))
        return warning;
    for (const links::Link* link : index_.linksTo(pathBelowWeb(node))) {
        if (deployed(nodeAt(tree, link->page)))
            addPage(warning, link->page);
    }
    return warning;
}

} // namespace terminal
