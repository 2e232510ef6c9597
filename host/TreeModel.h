#pragma once

#include <cstddef>
#include <cstdint>
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

// One entry of the tree. Nodes are owned by their TreeModel and compared by identity; a reference, and
// the key and text it hands out, stay valid until the model is cleared or destroyed.
class Node {
  public:
    // The children of a node in their order, for range-for.
    class Children {
      public:
        class iterator {
          public:
            using value_type = Node*;
            using difference_type = std::ptrdiff_t;
            iterator() = default;
            explicit iterator(Node* node) : node_(node) {}
            Node* operator*() const { return node_; }
            iterator& operator++() {
                node_ = node_->nextSibling_;
                return *this;
            }
            iterator operator++(int) {
                iterator before = *this;
                ++*this;
                return before;
            }
            bool operator==(const iterator& other) const { return node_ == other.node_; }

          private:
            Node* node_ = nullptr;
        };
        explicit Children(Node* first) : first_(first) {}
        iterator begin() const { return iterator(first_); }
        iterator end() const { return iterator(); }

      private:
        Node* first_;
    };

    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    std::string_view key() const { return {key_, keySize_}; }
    std::string_view text() const { return {text_, textSize_}; }
    const std::string& image() const { return *image_; }
    const std::string& selectedImage() const { return *selectedImage_; }
    void setImage(std::string_view key);
    void setSelectedImage(std::string_view key);

    // The texts from the root down to this node, joined by the tree's path separator.
    std::string fullPath() const;

    Node* parent() const { return parent_; }
    Node* firstChild() const { return firstChild_; }
    std::size_t childCount() const { return childCount_; }
    Node* nextSibling() const { return nextSibling_; }
    Node* lastSibling() const;
    Children children() const { return Children(firstChild_); }

    bool expanded() const { return expanded_; }
    void setExpanded(bool expanded);

    Node(NodeToken, TreeModel& owner, Node* parent, std::string_view key, std::string_view text,
         const std::string* image, const std::string* selectedImage)
        : owner_(owner), parent_(parent), key_(key.data()), text_(text.data()), image_(image),
          selectedImage_(selectedImage), keySize_(static_cast<std::uint32_t>(key.size())),
          textSize_(static_cast<std::uint32_t>(text.size())) {}

  private:
    friend class TreeModel;

    // A web may have hundreds of thousands of nodes, so each keeps no more than it must and owns nothing:
    // its key and text live in the model's text store, its image keys point into the model's image list
    // (which every image key has to name anyway), and its children are linked through the nodes.
    TreeModel& owner_;
    Node* parent_;
    Node* firstChild_ = nullptr;
    Node* lastChild_ = nullptr;
    Node* nextSibling_ = nullptr;
    const char* key_;
    const char* text_;
    const std::string* image_;
    const std::string* selectedImage_;
    std::uint32_t keySize_;
    std::uint32_t textSize_;
    std::uint32_t childCount_ = 0;
    std::uint32_t depth_ = 0; // 0 for a top-level node
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
    Node& add(std::optional<std::string_view> relativeKey, std::string_view key, std::string_view text,
              std::string_view image, std::string_view selectedImage);

    // 1-based, in the order the nodes were added.
    Node& nodeByIndex(std::size_t index) const;
    Node* find(std::string_view key) const;
    std::size_t count() const { return count_; }
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

    // The texts from the root down to the node, joined by the path separator; valid until the next call.
    std::string_view pathOf(const Node& node) const;

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
    // The nodes in the order added, in blocks: one allocation per block rather than per node, and a node
    // never moves once added. Nodes own nothing, so dropping the blocks destroys them.
    static constexpr std::size_t NodesPerBlock = 512;
    struct NodeBlock {
        alignas(Node) std::byte bytes[sizeof(Node) * NodesPerBlock];
    };
    Node& nodeAt(std::size_t index) const;
    std::vector<std::unique_ptr<NodeBlock>> nodeBlocks_;
    std::size_t count_ = 0;
    // Keys and texts, packed one after another in large blocks.
    std::string_view store(std::string_view text);
    static constexpr std::size_t TextBlockSize = 64 * 1024;
    std::vector<std::unique_ptr<char[]>> textBlocks_;
    char* textFree_ = nullptr;
    std::size_t textLeft_ = 0;
    std::vector<Node*> roots_;
    // The nodes by key: an open-addressed table (a hash map would take about 60 bytes more per node, with
    // a copy or view of each key). Each slot keeps 32 bits of its key's hash beside the node's number, so
    // a probe past other keys and a rehash never touch the nodes themselves: on a large web those reads
    // miss the cache.
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t node = 0; // the node's number in the order added, 1-based; 0: empty
    };
    static std::uint32_t hashOf(std::string_view key);
    // The key's slot, or the empty one where it belongs.
    std::size_t probe(std::string_view key, std::uint32_t hash) const;
    void rehash(std::size_t size);
    std::vector<Slot> slots_; // a power of two in size, or empty; never more than three quarters full
    mutable Node* lastFound_ = nullptr;
    mutable const std::string* lastImage_ = nullptr;

    // The last path built and the nodes it runs through: the nodes a walk of the tree visits one after
    // another share their ancestors' part, so a path costs its own length rather than a step per level
    // (a web thousands of folders deep would make every path quadratic otherwise).
    mutable std::vector<const Node*> pathNodes_; // pathNodes_[d] is at depth d
    mutable std::vector<std::size_t> pathEnds_;  // where each one's text ends in pathText_
    mutable std::string pathText_;
    mutable std::vector<const Node*> pathScratch_;

    Node* selected_ = nullptr;
    std::size_t refreshCount_ = 0;
    Listener listener_;
    TreeObserver* observer_ = nullptr;
    std::unordered_set<std::string> failing_;
};

} // namespace host
