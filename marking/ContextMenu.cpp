// The user's only way to change what gets published: the tree's right-button release pops up
// "Don't Publish", checked when the selected node is marked; choosing it toggles that node.
#include "marking/PublishMarking.h"
#include "webtree/FileImage.h"
#include "webtree/NodeImages.h"

#include <string_view>

namespace marking {
namespace {

constexpr int RightButton = 2;

bool startsWith(std::string_view key, std::string_view prefix) {
    return key.substr(0, prefix.size()) == prefix;
}

bool isFolderNodeKey(std::string_view key) {
    return startsWith(key, "open") || startsWith(key, "closed");
}

bool isFileNodeKey(std::string_view key) {
    return !isFolderNodeKey(key) && key != "web";
}

} // namespace

void PublishMarking::tvwWeb_MouseUp(int button, int /*shift*/, float x, float y) {
    asCommand([&] {
        if (button != RightButton)
            return;
        host::Node* selected = tvwWeb_.selected();
        if (selected == nullptr)
            return;
        mnuNoPublishChecked_ = webtree::hasMarkSuffix(selected->image());
        if (popUpMenu(x, y))
            mnuNoPublish_Click();
    });
}

void PublishMarking::mnuNoPublish_Click() {
    asCommand([&] {
        host::Node* const n = tvwWeb_.selected();
        if (n == nullptr)
            return;
        const std::string suffix(webtree::MarkSuffix);

        if (mnuNoPublishChecked_) {
            if (isFileNodeKey(n->image())) {
                n->setImage(webtree::stripMarkSuffix(n->image()));
                n->setSelectedImage(n->image());
                if (host::Node* p = n->parent()) {
                    p->setImage(webtree::stripMarkSuffix(p->image()));
                    p->setSelectedImage(webtree::stripMarkSuffix(p->selectedImage()));
                }
                tvwWeb_.refresh();
                mnuNoPublishChecked_ = false;
                WriteItemMark(*n, false);
            } else if (isFolderNodeKey(n->image())) {
                ApplyPublishState(*n, true);
            }
        } else {
            if (isFileNodeKey(n->image())) {
                n->setImage(n->image() + suffix);
                n->setSelectedImage(n->image());
                tvwWeb_.refresh();
                mnuNoPublishChecked_ = true;
                WriteItemMark(*n, true);
            } else if (isFolderNodeKey(n->image())) {
                ApplyPublishState(*n, false);
            }
        }
    });
}

} // namespace marking
