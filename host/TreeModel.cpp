#include "host/TreeModel.h"

#include "host/Failure.h"

#include <algorithm>
#include <cstring>

namespace host {

void Node::setImage(std::string key) {
    owner_.checkOperation("setImage");
    image_ = owner_.checkImage(key);
    if (owner_.observer_ != nullptr)
        owner_.observer_->nodeImagesChanged(*this);
}

void Node::setSelectedImage(std::string key) {
    owner_.checkOperation("setSelectedImage");
    selectedImage_ = owner_.checkImage(key);
    if (owner_.observer_ != nullptr)
        owner_.observer_->nodeImagesChanged(*this);
}

std::string Node::fullPath() const {
    // Sized first and filled from the end: one allocation and one copy per text, however deep the node.
    constexpr std::string_view separator = TreeModel::PathSeparator;
    std::size_t size = text_.size();
    for (const Node* n = parent_; n != nullptr; n = n->parent_)
        size += n->text_.size() + separator.size();
    std::string path(size, '\0');
    char* end = path.data() + size;
    for (const Node* n = this;; n = n->parent_) {
        end -= n->text_.size();
        std::memcpy(end, n->text_.data(), n->text_.size());
        if (n->parent_ == nullptr)
            break;
        end -= separator.size();
        std::memcpy(end, separator.data(), separator.size());
    }
    return path;
}

Node* Node::nextSibling() const {
    const auto& siblings = parent_ ? parent_->children_ : owner_.roots_;
    return indexInParent_ + 1 < siblings.size() ? siblings[indexInParent_ + 1] : nullptr;
}

Node* Node::lastSibling() const {
    const auto& siblings = parent_ ? parent_->children_ : owner_.roots_;
    return siblings.back();
}

void Node::setExpanded(bool expanded) {
    expanded_ = expanded;
    if (owner_.observer_ != nullptr)
        owner_.observer_->nodeExpandedChanged(*this);
    owner_.notify();
}

TreeModel::TreeModel(std::vector<std::string> imageKeys) : imageKeys_(std::move(imageKeys)) {}

TreeModel::~TreeModel() = default;

Node& TreeModel::add(const std::optional<std::string>& relativeKey, std::string key, std::string text,
                     std::string image, std::string selectedImage) {
    checkOperation("add");
    Node* parent = nullptr;
    if (relativeKey) {
        parent = find(*relativeKey);
        if (parent == nullptr)
            throw Failure(status::InvalidArg, "tree: no node with the key '" + *relativeKey + "'");
    }
    // One hash of the new key serves both the duplicate check and the insertion.
    if ((nodes_.size() + 1) * 4 > slots_.size() * 3)
        rehash(std::max<std::size_t>(16, slots_.size() * 2));
    const std::size_t slot = probe(key);
    if (slots_[slot] != nullptr)
        throw Failure(status::InvalidArg, "tree: a node with the key '" + key + "' already exists");
    const std::string* imageKey = checkImage(image);
    const std::string* selectedImageKey = checkImage(selectedImage);

    Node& node = nodes_.emplace_back(NodeToken{}, *this, parent, std::move(key), std::move(text), imageKey,
                                     selectedImageKey);
    auto& siblings = parent ? parent->children_ : roots_;
    node.indexInParent_ = static_cast<std::uint32_t>(siblings.size());
    siblings.push_back(&node);
    slots_[slot] = &node;
    if (observer_ != nullptr)
        observer_->nodeAdded(node);
    notify();
    return node;
}

std::size_t TreeModel::probe(std::string_view key) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = std::hash<std::string_view>{}(key)&mask;
    while (slots_[i] != nullptr && slots_[i]->key_ != key)
        i = (i + 1) & mask;
    return i;
}

void TreeModel::rehash(std::size_t size) {
    std::vector<Node*> old(size, nullptr);
    old.swap(slots_);
    for (Node* node : old) {
        if (node != nullptr)
            slots_[probe(node->key_)] = node;
    }
}

Node& TreeModel::nodeByIndex(std::size_t index) const {
    if (index < 1 || index > nodes_.size())
        throw Failure(status::InvalidArg, "tree: no node at index " + std::to_string(index));
    return const_cast<Node&>(nodes_[index - 1]);
}

Node* TreeModel::find(std::string_view key) const {
    // Nodes are mostly added under the parent of the node added before.
    if (lastFound_ != nullptr && lastFound_->key_ == key)
        return lastFound_;
    if (slots_.empty())
        return nullptr;
    Node* node = slots_[probe(key)];
    if (node != nullptr)
        lastFound_ = node;
    return node;
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
        for (auto it = node->children_.rbegin(); it != node->children_.rend(); ++it)
            stack.emplace_back(*it, depth + 1);
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
    nodes_.clear();
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
    if (failing_.count(std::string(operation)) != 0)
        throw Failure(status::Fail, "tree: " + std::string(operation) + " failed");
}

const std::string* TreeModel::checkImage(std::string_view key) const {
    const auto found = std::find(imageKeys_.begin(), imageKeys_.end(), key);
    if (found == imageKeys_.end())
        throw Failure(status::InvalidArg, "tree: the image list has no image '" + std::string(key) + "'");
    return &*found;
}

void TreeModel::notify() const {
    if (listener_)
        listener_();
}

} // namespace host
