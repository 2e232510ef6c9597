// A folder's change of mark spreads down through everything beneath it, then up through the folders
// that contain it. Marks already written stay written when a later step fails.
#include "marking/PublishMarking.h"

namespace marking {
namespace {

bool isFolderKey(const std::string& key) {
    return key == "closed" || key == "open";
}

// Runs `visit` for each child of `node`, in sibling order, stopping after the last sibling.
template <class Visit> void forEachChild(host::Node& node, Visit visit) {
    if (node.childCount() == 0)
        return;
    for (host::Node* child = node.firstChild();; child = child->nextSibling()) {
        visit(*child);
        if (child == child->lastSibling())
            break;
    }
}

} // namespace

void PublishMarking::PropPublishToChildren(host::Node& node) {
    asCommand([&] {
        if (IsFileNode(node)) {
            WriteItemMark(node, false);
            UnmarkNodeImages(node);
        }
        forEachChild(node, [&](host::Node& child) {
            WriteItemMark(child, false);
            PropPublishToChildren(child);
        });
    });
}

void PublishMarking::PropUnPublishToChildren(host::Node& node) {
    asCommand([&] {
        if (IsFileNode(node)) {
            WriteItemMark(node, true);
            MarkNodeImages(node);
        } else if (node.childCount() == 0 && isFolderKey(node.image())) {
            // A published folder with nothing in it would otherwise keep its published keys while its item
            // is marked; the suffix lets the propagation to parents write its own mark too.
            MarkNodeImages(node);
        }
        forEachChild(node, [&](host::Node& child) {
            WriteItemMark(child, true);
            MarkNodeImages(node);
            PropUnPublishToChildren(child);
        });
    });
}

void PublishMarking::PropPublishToParents(host::Node& node) {
    asCommand([&] {
        if (IsFileNode(node)) {
            WriteItemMark(node, false);
            // The tree shows what the host holds: a containing folder published again loses its suffix.
            UnmarkNodeImages(node);
        }
        if (host::Node* parent = node.parent())
            PropPublishToParents(*parent);
    });
}

void PublishMarking::PropUnPublishToParents(host::Node& node) {
    asCommand([&] {
        if (IsFileNode(node))
            WriteItemMark(node, true);
        if (host::Node* parent = node.parent())
            PropUnPublishToParents(*parent);
    });
}

void PublishMarking::ApplyPublishState(host::Node& node, bool publish) {
    asCommand([&] {
        if (publish) {
            PropPublishToChildren(node);
            PropPublishToParents(node);
        } else {
            PropUnPublishToChildren(node);
            PropUnPublishToParents(node);
        }
    });
}

} // namespace marking
