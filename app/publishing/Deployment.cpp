#include "app/publishing/Deployment.h"

#include "host/Failure.h"
#include "webtree/NodeImages.h"

namespace app {

Deployment deploymentOf(const host::Node& node) {
    if (node.parent() == nullptr || !webtree::hasMarkSuffix(node.image()))
        return {true, Why::Published};
    return {false, webtree::isFolderNode(node) ? Why::NothingPublishedBeneath : Why::OwnMark};
}

std::string_view describe(Why why) {
    switch (why) {
    case Why::OwnMark:
        return "own mark";
    case Why::NothingPublishedBeneath:
        return "nothing published beneath";
    case Why::Published:
        break;
    }
    return "published";
}

std::vector<const host::Node*> leftOut(const host::TreeModel& tree, bool topmostOnly) {
    std::vector<const host::Node*> out;
    tree.forEachInTreeOrder([&](const host::Node& node, std::size_t) {
        if (deploymentOf(node).deployed)
            return;
        if (topmostOnly && node.parent() != nullptr && !deploymentOf(*node.parent()).deployed)
            return;
        out.push_back(&node);
    });
    return out;
}

bool readsAsMarked(const host::Value& value, bool homePage) {
    try {
        return homePage ? value.toBoolean() : value.textEquals("True");
    } catch (const host::Failure&) {
        return false;
    }
}

} // namespace app
