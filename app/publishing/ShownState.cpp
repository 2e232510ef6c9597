#include "app/publishing/ShownState.h"

#include "webtree/NodeImages.h"

#include <functional>

namespace app {
namespace {

bool isFolder(const host::Node& node) {
    return webtree::isFolderNode(node) || node.image() == "web";
}

std::string items(std::size_t n) {
    return std::to_string(n) + (n == 1 ? " item" : " items");
}

} // namespace

BeneathCounts countBeneath(const host::TreeModel& tree) {
    BeneathCounts counts;
    // Children before their parents, without recursion: a deep web must not exhaust the stack.
    std::vector<const host::Node*> order;
    order.reserve(tree.count());
    for (const host::Node* root : tree.roots())
        order.push_back(root);
    // Breadth first: every node after its parent, so walking back sees children first.
    for (std::size_t i = 0; i < order.size(); ++i) {
        for (const host::Node* child : order[i]->children())
            order.push_back(child);
    }
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        const host::Node* node = *it;
        Beneath& mine = counts[node];
        if (const host::Node* parent = node->parent()) {
            Beneath& up = counts[parent];
            up.total += mine.total + 1;
            up.marked += mine.marked + (webtree::hasMarkSuffix(node->image()) ? 1 : 0);
        }
    }
    return counts;
}

Shown shownState(const host::Node& node, const Beneath& beneath) {
    if (webtree::hasMarkSuffix(node.image()))
        return Shown::NotPublished;
    return beneath.marked > 0 ? Shown::Partly : Shown::Published;
}

std::string whyShown(const host::Node& node, const Beneath& beneath, std::optional<bool> ownMark) {
    const bool shownMarked = webtree::hasMarkSuffix(node.image());
    std::string why;
    if (!isFolder(node)) {
        if (!ownMark)
            why = shownMarked ? "marked" : "not marked";
        else if (shownMarked == *ownMark)
            why = shownMarked ? "its own mark" : "no mark of its own";
        else
            why = shownMarked ? "shown Don't Publish, but not marked in the web"
                              : "marked in the web, shown published";
        return why;
    }
    if (node.parent() == nullptr)
        why.clear(); // the web itself has no mark; what is beneath it is the whole story
    else if (shownMarked)
        why = ownMark.value_or(true) ? "its own mark" : "nothing to publish inside";
    else if (ownMark.value_or(false))
        why = "marked in the web, but holds published files";
    else
        why = "no mark of its own";
    const std::string sep = why.empty() ? "" : "; ";
    if (beneath.total > 0 && beneath.marked == 0)
        why += sep + "none of the " + items(beneath.total) + " beneath left out";
    else if (beneath.total > 0)
        why += sep + std::to_string(beneath.marked) + " of " + items(beneath.total) + " beneath left out";
    else if (why.empty())
        why = "an empty web";
    return why;
}

} // namespace app
