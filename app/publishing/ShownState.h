#pragma once

#include "host/TreeModel.h"

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>

// What a node shows a person beyond its image key: a folder whose image says "published" can still hold
// items left out, and a folder's image can differ from the mark stored on its own item. The image keys and
// the marking rules stay as they are; this only reads them.
namespace app {

enum class Shown { Published, Partly, NotPublished };

// For every node: how many nodes beneath it show marked, and how many there are beneath it.
struct Beneath {
    std::size_t marked = 0;
    std::size_t total = 0;
};
using BeneathCounts = std::unordered_map<const host::Node*, Beneath>;
BeneathCounts countBeneath(const host::TreeModel& tree);

// Marked by its image key; otherwise partly when anything beneath it shows marked.
Shown shownState(const host::Node& node, const Beneath& beneath);

// Why the node shows as it does, in a few words. ownMark is the mark stored on the node's own item (none
// when it could not be read, or for the web itself).
std::string whyShown(const host::Node& node, const Beneath& beneath, std::optional<bool> ownMark);

} // namespace app
