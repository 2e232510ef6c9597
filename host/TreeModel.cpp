#include "host/TreeModel.h"

#include "host/Failure.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>

namespace host {

void Node::setImage(std::string_view key) {
    owner_.checkOperation("setImage");
    image_ = owner_.checkImage(key);
    if (owner_.observer_ != nullptr)
        owner_.observer_->nodeImagesChanged(*this);
}

void Node::setSelectedImage(std::string_view key) {
    owner_.checkOperation("setSelectedImage");
    selectedImage_ = owner_.checkImage(key);
    if (owner_.observer_ != nullptr)
        owner_.observer_->nodeImagesChanged(*this);
}

std::string Node::fullPath() const {
    return std::string(owner_.pathOf(*this));
}

Node* Node::lastSibling() const {
    return parent_ != nullptr ? parent_->lastChild_ : owner_.roots_.back();
}

void Node::setExpanded(bool expanded) {
    expanded_ = expanded;
    if (owner_.observer_ != nullptr)
        owner_.observer_->nodeExpandedChanged(*this);
    owner_.notify();
}

static_assert(std::is_trivially_destructible_v<Node>, "dropping a node block must destroy its nodes");

TreeModel::TreeModel(std::vector<std::string> imageKeys) : imageKeys_(std::move(imageKeys)) {}

TreeModel::~TreeModel() = default;

Node& TreeModel::add(std::optional<std::string_view> relativeKey, std::string_view key, std::string_view text,
                     std::string_view image, std::string_view selectedImage) {
    checkOperation("add");
    Node* parent = nullptr;
    if (relativeKey) {
        parent = find(*relativeKey);
        if (parent == nullptr)
            throw Failure(status::InvalidArg,
                          "tree: no node with the key '" + std::string(*relativeKey) + "'");
    }
    if (count_ >= std::numeric_limits<std::uint32_t>::max() || key.size() > UINT32_MAX ||
        text.size() > UINT32_MAX)
        throw Failure(status::Fail, "tree: too many nodes or too long a text");
    // One hash of the new key serves both the duplicate check and the insertion.
    if ((count_ + 1) * 4 > slots_.size() * 3)
        rehash(std::max<std::size_t>(16, slots_.size() * 2));
    const std::uint32_t hash = hashOf(key);
    const std::size_t slot = probe(key, hash);
    if (slots_[slot].node != 0)
        throw Failure(status::InvalidArg,
                      "tree: a node with the key '" + std::string(key) + "' already exists");
    const std::string* imageKey = checkImage(image);
    const std::string* selectedImageKey = checkImage(selectedImage);

    if (count_ == nodeBlocks_.size() * NodesPerBlock)                     // every block is full
        nodeBlocks_.push_back(std::unique_ptr<NodeBlock>(new NodeBlock)); // left uninitialised
    const std::string_view storedKey = store(key);
    // A node's text is mostly the item's name, which ends its key (a URL): the key's copy serves both.
    const bool textEndsKey = key.size() >= text.size() && key.substr(key.size() - text.size()) == text;
    const std::string_view storedText =
        textEndsKey ? storedKey.substr(storedKey.size() - text.size()) : store(text);
    Node* node = ::new (static_cast<void*>(&nodeAt(count_)))
        Node(NodeToken{}, *this, parent, storedKey, storedText, imageKey, selectedImageKey);
    ++count_;
    if (parent != nullptr) {
        node->depth_ = parent->depth_ + 1;
        if (parent->lastChild_ != nullptr)
            parent->lastChild_->nextSibling_ = node;
        else
            parent->firstChild_ = node;
        parent->lastChild_ = node;
        ++parent->childCount_;
    } else {
        if (!roots_.empty())
            roots_.back()->nextSibling_ = node;
        roots_.push_back(node);
    }
    slots_[slot] = {hash, static_cast<std::uint32_t>(count_)};
    if (observer_ != nullptr)
        observer_->nodeAdded(*node);
    notify();
    return *node;
}

std::string_view TreeModel::pathOf(const Node& node) const {
    // Up from the node to the nearest one the last path runs through; the rest of that path stays.
    pathScratch_.clear();
    const Node* n = &node;
    while (n != nullptr && !(n->depth_ < pathNodes_.size() && pathNodes_[n->depth_] == n)) {
        pathScratch_.push_back(n);
        n = n->parent_;
    }
    const std::size_t kept = n == nullptr ? 0 : n->depth_ + 1;
    pathNodes_.resize(kept);
    pathEnds_.resize(kept);
    pathText_.resize(kept == 0 ? 0 : pathEnds_.back());
    for (auto it = pathScratch_.rbegin(); it != pathScratch_.rend(); ++it) {
        if (!pathNodes_.empty())
            pathText_ += PathSeparator;
        pathText_ += (*it)->text();
        pathNodes_.push_back(*it);
        pathEnds_.push_back(pathText_.size());
    }
    return pathText_;
}

Node& TreeModel::nodeAt(std::size_t index) const {
    return std::launder(
        reinterpret_cast<Node*>(nodeBlocks_[index / NodesPerBlock]->bytes))[index % NodesPerBlock];
}

std::string_view TreeModel::store(std::string_view text) {
    if (text.empty())
        return {};
    if (text.size() > textLeft_) {
        // A text longer than a block gets a block of its own; the current one stays in use.
        if (text.size() > TextBlockSize / 4) {
            std::unique_ptr<char[]> own(new char[text.size()]);
            std::memcpy(own.get(), text.data(), text.size());
            return {textBlocks_.emplace_back(std::move(own)).get(), text.size()};
        }
        std::unique_ptr<char[]> block(new char[TextBlockSize]);
        textFree_ = textBlocks_.emplace_back(std::move(block)).get();
        textLeft_ = TextBlockSize;
    }
    char* stored = textFree_;
    std::memcpy(stored, text.data(), text.size());
    textFree_ += text.size();
    textLeft_ -= text.size();
    return {stored, text.size()};
}

std::uint32_t TreeModel::hashOf(std::string_view key) {
    std::uint64_t full = std::hash<std::string_view>{}(key);
    full ^= full >> 32U; // a 64-bit hash keeps both halves
    return static_cast<std::uint32_t>(full);
}

std::size_t TreeModel::probe(std::string_view key, std::uint32_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    while (slots_[i].node != 0 && (slots_[i].hash != hash || nodeAt(slots_[i].node - 1).key() != key))
        i = (i + 1) & mask;
    return i;
}

void TreeModel::rehash(std::size_t size) {
    std::vector<Slot> old(size);
    old.swap(slots_);
    const std::size_t mask = size - 1;
    for (const Slot& slot : old) {
        if (slot.node == 0)
            continue;
        // Keys are unique, so the first empty slot is the place.
        std::size_t i = slot.hash & mask;
        while (slots_[i].node != 0)
            i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

Node& TreeModel::nodeByIndex(std::size_t index) const {
    if (index < 1 || index > count_)
        throw Failure(status::InvalidArg, "tree: no node at index " + std::to_string(index));
    return nodeAt(index - 1);
}

Node* TreeModel::find(std::string_view key) const {
    // Nodes are mostly added under the parent of the node added before.
    if (lastFound_ != nullptr && lastFound_->key() == key)
        return lastFound_;
    if (slots_.empty())
        return nullptr;
    const Slot& slot = slots_[probe(key, hashOf(key))];
    if (slot.node == 0)
        return nullptr;
    lastFound_ = &nodeAt(slot.node - 1);
    return lastFound_;
}

void TreeModel::forEachInTreeOrder(const std::function<void(const Node&, std::size_t)>& visit) const {
    // An explicit stack: a web nested thousands of folders deep must not exhaust the call stack.
    std::vector<std::pair<const Node*, std::size_t>> stack;
    for (auto it = roots_.rbegin(); it != roots_.rend(); ++it)
        stack.emplace_back(*it, 0);
    while (!stack.empty()) {
        auto [node, depth] = stack.back();
        stack.pop_back();
        visit(*node, depth);
        // The children go on in their order, then are turned round so that the first comes off first.
        const std::size_t first = stack.size();
        for (const Node* child : node->children())
            stack.emplace_back(child, depth + 1);
        std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(first), stack.end());
    }
}

void TreeModel::select(Node* node) {
    const bool changed = selected_ != node;
    selected_ = node;
    // A view that reports the user's selection back is not told of its own change again.
    if (changed && observer_ != nullptr)
        observer_->selectionChanged(node);
    notify();
}

void TreeModel::clear() {
    selected_ = nullptr;
    slots_.clear();
    lastFound_ = nullptr;
    roots_.clear();
    nodeBlocks_.clear();
    count_ = 0;
    textBlocks_.clear();
    textFree_ = nullptr;
    textLeft_ = 0;
    // A new tree's nodes may take the old ones' places.
    pathNodes_.clear();
    pathEnds_.clear();
    pathText_.clear();
    if (observer_ != nullptr)
        observer_->cleared();
    notify();
}

void TreeModel::refresh() {
    checkOperation("refresh");
    ++refreshCount_;
    if (observer_ != nullptr)
        observer_->refreshed();
    notify();
}

bool TreeModel::hasImage(std::string_view key) const {
    return std::find(imageKeys_.begin(), imageKeys_.end(), key) != imageKeys_.end();
}

void TreeModel::checkOperation(std::string_view operation) const {
    if (failing_.empty())
        return;
    if (failing_.count(std::string(operation)) != 0)
        throw Failure(status::Fail, "tree: " + std::string(operation) + " failed");
}

const std::string* TreeModel::checkImage(std::string_view key) const {
    // Filling names the same few images over and over.
    if (lastImage_ != nullptr && *lastImage_ == key)
        return lastImage_;
    const auto found = std::find(imageKeys_.begin(), imageKeys_.end(), key);
    if (found == imageKeys_.end())
        throw Failure(status::InvalidArg, "tree: the image list has no image '" + std::string(key) + "'");
    lastImage_ = &*found;
    return lastImage_;
}

void TreeModel::notify() const {
    if (listener_)
        listener_();
}

} // namespace host
