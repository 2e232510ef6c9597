#include "app/publishing/Unlinked.h"

#include "app/publishing/Deployment.h"
#include "host/WebModel.h"
#include "webtree/NodeImages.h"

#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace app {

std::string pathBelowWeb(const host::Node& node) {
    if (node.parent() == nullptr)
        return ".";
    std::string path(node.text());
    for (const host::Node* n = node.parent(); n->parent() != nullptr; n = n->parent())
        path = std::string(n->text()) + "/" + path;
    return path;
}

std::vector<const host::Node*> unlinkedFiles(const host::TreeModel& tree, const links::LinkIndex& index) {
    // Every published item by its path, the files among them in tree order.
    std::unordered_map<std::string, const host::Node*> published;
    std::vector<std::pair<const host::Node*, std::string>> files;
    std::string home;
    tree.forEachInTreeOrder([&](const host::Node& node, std::size_t) {
        if (!deploymentOf(node).deployed)
            return;
        std::string path = pathBelowWeb(node);
        published.emplace(path, &node);
        if (node.parent() == nullptr || webtree::isFolderNode(node))
            return;
        if (webtree::stripMarkSuffix(node.image()) == "home")
            home = path;
        files.emplace_back(&node, std::move(path));
    });
    const auto isFile = [&](const std::string& path) {
        const auto it = published.find(path);
        return it != published.end() && it->second->parent() != nullptr &&
               !webtree::isFolderNode(*it->second);
    };
    const auto reached =
        index.reachedFrom(home, [&](const std::string& target) -> std::optional<std::string> {
            if (isFile(target))
                return target;
            if (published.count(target) == 0)
                return std::nullopt;
            // A folder: the page a server shows for it.
            for (const std::string_view name : host::HomePageNames) {
                std::string page = (target == "." ? "" : target + "/") + std::string(name);
                if (isFile(page))
                    return page;
            }
            return std::nullopt;
        });
    std::vector<const host::Node*> out;
    for (const auto& [node, path] : files) {
        if (reached.count(path) == 0)
            out.push_back(node);
    }
    return out;
}

} // namespace app
