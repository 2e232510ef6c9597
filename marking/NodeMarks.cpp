// The building blocks every marking operation shares: node classification, the host location of a
// node's item, the mark suffix on its image keys, and writing the mark of one item.
#include "host/Failure.h"
#include "marking/PublishMarking.h"
#include "webtree/FileImage.h"
#include "webtree/NodeImages.h"

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
    // A plain select per character, which the compiler vectorises: paths can be very long.
    const char from = head == "http" ? '\\' : '/';
    const char to = head == "http" ? '/' : '\\';
    for (char& c : path)
        c = c == from ? to : c;
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
    asCommand([&] {
        const std::string location = GetNodeUrl(node);
        auto web = app_.get().activeWeb();
        if (!web)
            throw host::Failure(host::status::NoObject, "no web is open");
        auto item = web->locate(location);
        // Gone from the web since the tree was filled: there is nothing left to publish or keep back.
        if (!item)
            return;
        writeMarkSteps(node, *item, marked);
    });
}

void PublishMarking::writeMarkSteps(const host::Node& node, host::Item& item, bool marked) {
    // Every step runs whatever the one before did, and nothing done is undone; what failed is recorded.
    writes_.attempted(node);
    try {
        auto properties = item.properties();
        if (marked) {
            properties->set(webtree::MarkProperty, host::Value::boolean(true));
        } else {
            try {
                properties->remove(webtree::MarkProperty);
            } catch (const host::Failure& removing) {
                // The collection fails a removal of what it does not hold: that mark is removed already.
                bool absent = false;
                try {
                    absent = properties->item(webtree::MarkProperty).isEmpty();
                } catch (const host::Failure&) {
                }
                if (!absent)
                    throw removing;
            }
        }
    } catch (const host::Failure& f) {
        writes_.failed(node, f);
    }
    try {
        item.properties()->apply();
    } catch (const host::Failure& f) {
        writes_.failed(node, f);
    }
}

void PublishMarking::RunAsOneCommand(const std::function<void()>& body) {
    if (commandDepth_ > 0) {
        body();
        return;
    }
    struct Depth {
        int& depth;
        MarkWrites& writes;
        explicit Depth(int& d, MarkWrites& w) : depth(d), writes(w) {
            writes.clear();
            ++depth;
        }
        ~Depth() {
            --depth;
            writes.clear();
        }
    } scope(commandDepth_, writes_);
    try {
        body();
    } catch (const host::Failure& f) {
        if (!writes_.anyFailed())
            throw;
        throw host::Failure(f.status(), std::string(f.what()) + "; before that, " + writes_.summary());
    }
    if (writes_.anyFailed())
        throw host::Failure(writes_.firstStatus(), writes_.summary());
}

} // namespace marking
