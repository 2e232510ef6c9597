#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace host {

class TreeModel;
class Node;

// A view that mirrors the tree into a real control hears of every change as it happens.
class TreeObserver {
  public:
    virtual void nodeAdded(const Node& node) = 0;
    // The image key or the selected-image key changed.
    virtual void nodeImagesChanged(const Node& node) = 0;
    virtual void nodeExpandedChanged(const Node& node) = 0;
    virtual void selectionChanged(const Node* node) = 0;
    virtual void refreshed() = 0;
    // Every node is gone.
    virtual void cleared() = 0;

  protected:
    ~TreeObserver() = default;
};

// Only the model makes nodes; the nodes themselves live in its storage.
class NodeToken {
    friend class TreeModel;
    NodeToken() = default;
};

// One entry of the tree. Nodes are owned by their TreeModel and compared by identity; a reference stays
// valid until the model is cleared or destroyed.
class Node {
  public:
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    const std::string& key() const { return key_; }
    const std::string& text() const { return text_; }
    const std::string& image() const { return *image_; }
    const std::string& selectedImage() const { return *selectedImage_; }
    void setImage(std::string key);
    void setSelectedImage(std::string key);

    // The texts from the root down to this node, joined by the tree's path separator.
    std::string fullPath() const;

    Node* parent() const { return parent_; }
    Node* firstChild() const { return children_.empty() ? nullptr : children_.front(); }
    std::size_t childCount() const { return children_.size(); }
    Node* nextSibling() const;
    Node* lastSibling() const;
    const std::vector<Node*>& children() const { return children_; }

    bool expanded() const { return expanded_; }
    void setExpanded(bool expanded);

    Node(NodeToken, TreeModel& owner, Node* parent, std::string key, std::string text,
         const std::string* image, const std::string* selectedImage)
        : owner_(owner), parent_(parent), key_(std::move(key)), text_(std::move(text)), image_(image),
          selectedImage_(selectedImage) {}

  private:
    friend class TreeModel;

    // A web may have hundreds of thousands of nodes, so each keeps no more than it must: image keys point
    // into the model's image list, which every image key has to name anyway.
    TreeModel& owner_;
    Node* parent_;
    std::string key_;
    std::string text_;
    const std::string* image_;
    const std::string* selectedImage_;
    std::vector<Node*> children_;
    std::uint32_t indexInParent_ = 0;
    bool expanded_ = false;
};

// The tree control's logic, the same on every platform: front ends draw it and feed it the user's
// selection. Every failing operation throws host::Failure, as the real control reports an error.
class TreeModel {
  public:
    static constexpr std::string_view PathSeparator = "\\";

    // imageKeys: the keys of the image list bound to the tree; node images must name one of them.
    explicit TreeModel(std::vector<std::string> imageKeys);
    ~TreeModel();
    TreeModel(const TreeModel&) = delete;
    TreeModel& operator=(const TreeModel&) = delete;

    // Adds a node as the last child of the node keyed relativeKey, or as a top-level node without one.
    // Fails for a duplicate key, an unknown relative key or an image key the image list lacks.
    Node& add(const std::optional<std::string>& relativeKey, std::string key, std::string text,
              std::string image, std::string selectedImage);

    // 1-based, in the order the nodes were added.
    Node& nodeByIndex(std::size_t index) const;
    Node* find(std::string_view key) const;
    std::size_t count() const { return nodes_.size(); }
    const std::vector<Node*>& roots() const { return roots_; }
    // Visits every node in tree order (parent before children, children in their order), with its depth.
    void forEachInTreeOrder(const std::function<void(const Node&, std::size_t depth)>& visit) const;

    Node* selected() const { return selected_; }
    void select(Node* node);

    // Removes every node (the control is destroyed with its window).
    void clear();

    // Asks the views to draw changed nodes anew.
    void refresh();
    std::size_t refreshCount() const { return refreshCount_; }

    // Views listen here; the callback runs on refresh, on clear and when nodes are added.
    using Listener = std::function<void()>;
    void setListener(Listener listener) { listener_ = std::move(listener); }
    // At most one mirroring view; null detaches it.
    void setObserver(TreeObserver* observer) { observer_ = observer; }

    bool hasImage(std::string_view key) const;
    const std::vector<std::string>& imageKeys() const { return imageKeys_; }

    // Tests make the tree fail like a broken control: the given operation ("add", "setImage",
    // "setSelectedImage", "refresh") fails from its next call on.
    void failOperation(std::string operation) { failing_.insert(std::move(operation)); }

  private:
    friend class Node;
    void checkOperation(std::string_view operation) const;
    // The image list's own copy of the key; fails when the list lacks it.
    const std::string* checkImage(std::string_view key) const;
    void notify() const;

    std::vector<std::string> imageKeys_;
    // The nodes in the order added, stored in blocks: no allocation of its own per node, and a node never
    // moves once added.
    std::deque<Node> nodes_;
    std::vector<Node*> roots_;
    // The nodes by key: an open-addressed table of node pointers (a hash map would take about 60 bytes
    // more per node, with a copy or view of each key).
    std::size_t probe(std::string_view key) const; // the key's slot, or the empty one where it belongs
    void rehash(std::size_t size);
    std::vector<Node*> slots_; // a power of two in size, or empty; never more than three quarters full
    mutable Node* lastFound_ = nullptr;

    Node* selected_ = nullptr;
    std::size_t refreshCount_ = 0;
    Listener listener_;
    TreeObserver* observer_ = nullptr;
    std::unordered_set<std::string> failing_;
};

} // namespace host
