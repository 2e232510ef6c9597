// A folder's change of mark spreads down through everything beneath it, then up through the folders
// that contain it. Marks already written stay written when a later step fails.
//
// The walks follow the tree's own links instead of recursing: the add-in runs on the editor's GUI thread,
// whose stack is small, and a web may be thousands of folders deep.
#include "marking/PublishMarking.h"

namespace marking {
namespace {

bool isFolderKey(const std::string& key) {
    return key == "closed" || key == "open";
}

// Visits `top` and everything beneath it in pre-order, siblings in their order: `enter(node)` when a node
// is reached, and `beforeChild(parent, child)` just before each child's own visit.
template <class Enter, class BeforeChild>
void walkDown(host::Node& top, Enter enter, BeforeChild beforeChild) {
    enter(top);
    host::Node* node = &top;
    for (;;) {
        host::Node* next = nullptr;
        if (node->childCount() > 0) {
            next = node->firstChild();
        } else {
            while (node != &top && node == node->lastSibling())
                node = node->parent();
            if (node == &top)
                return;
            next = node->nextSibling();
        }
        beforeChild(*next->parent(), *next);
        enter(*next);
        node = next;
    }
}

} // namespace

void PublishMarking::PropPublishToChildren(host::Node& node) {
    asCommand([&] {
        walkDown(
            node,
            [&](host::Node& reached) {
                if (IsFileNode(reached)) {
                    WriteItemMark(reached, false);
                    UnmarkNodeImages(reached);
                }
            },
            [&](host::Node&, host::Node& child) { WriteItemMark(child, false); });
    });
}

void PublishMarking::PropUnPublishToChildren(host::Node& node) {
    asCommand([&] {
        walkDown(
            node,
            [&](host::Node& reached) {
                if (IsFileNode(reached)) {
                    WriteItemMark(reached, true);
                    MarkNodeImages(reached);
                } else if (reached.childCount() == 0 && isFolderKey(reached.image())) {
                    // A published folder with nothing in it would otherwise keep its published keys while
                    // its item is marked; the suffix lets the propagation to parents write its own mark too.
                    MarkNodeImages(reached);
                }
            },
            [&](host::Node& parent, host::Node& child) {
                WriteItemMark(child, true);
                MarkNodeImages(parent);
            });
    });
}

void PublishMarking::PropPublishToParents(host::Node& node) {
    asCommand([&] {
        for (host::Node* reached = &node; reached != nullptr; reached = reached->parent()) {
            if (IsFileNode(*reached)) {
                WriteItemMark(*reached, false);
                // The tree shows what the host holds: a containing folder published again loses its suffix.
                UnmarkNodeImages(*reached);
            }
        }
    });
}

void PublishMarking::PropUnPublishToParents(host::Node& node) {
    asCommand([&] {
        for (host::Node* reached = &node; reached != nullptr; reached = reached->parent()) {
            if (IsFileNode(*reached))
                WriteItemMark(*reached, true);
        }
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
