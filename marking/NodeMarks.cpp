// The building blocks every marking operation shares: node classification, the host location of a
// node's item, the mark suffix on its image keys, and writing the mark of one item.
#include "host/Failure.h"
#include "marking/PublishMarking.h"
#include "webtree/FileImage.h"
#include "webtree/Fill.h"

#include <algorithm>
#include <cctype>

namespace marking {

bool PublishMarking::IsFileNode(const host::Node& node) const {
    const std::string& key = node.image();
    return key != "web" && key != "open" && key != "closed";
}

std::string PublishMarking::GetNodeUrl(const host::Node& node) const {
    std::string path = node.fullPath();
    std::string head = path.substr(0, 4);
    std::transform(head.begin(), head.end(), head.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (head == "http")
        std::replace(path.begin(), path.end(), '\\', '/');
    else
        std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

void PublishMarking::MarkNodeImages(host::Node& node) {
    if (webtree::hasMarkSuffix(node.image()))
        return;
    node.setImage(node.image() + std::string(webtree::MarkSuffix));
    node.setSelectedImage(node.selectedImage() + std::string(webtree::MarkSuffix));
    tvwWeb_.refresh();
}

void PublishMarking::UnmarkNodeImages(host::Node& node) {
    if (!webtree::hasMarkSuffix(node.image()))
        return;
    node.setImage(webtree::stripMarkSuffix(node.image()));
    node.setSelectedImage(webtree::stripMarkSuffix(node.selectedImage()));
    tvwWeb_.refresh();
}

void PublishMarking::WriteItemMark(const host::Node& node, bool marked) {
    const std::string location = GetNodeUrl(node);
    auto web = app_.get().activeWeb();
    if (!web)
        throw host::Failure(host::status::NoObject, "no web is open");
    auto item = web->locate(location);

    // Best effort from here: a step that fails is skipped and the next one runs. An item the web
    // does not know fails both steps the same way.
    try {
        if (!item)
            throw host::Failure(host::status::NoObject, "no item at " + location);
        auto properties = item->properties();
        if (marked)
            properties->set(webtree::MarkProperty, host::Value::boolean(true));
        else
            properties->remove(webtree::MarkProperty);
    } catch (const host::Failure&) {
    }
    try {
        if (!item)
            throw host::Failure(host::status::NoObject, "no item at " + location);
        item->properties()->apply();
    } catch (const host::Failure&) {
    }
}

} // namespace marking
