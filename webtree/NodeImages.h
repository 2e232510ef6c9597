#pragma once

#include "host/TreeModel.h"

#include <string>
#include <string_view>

// What a node's image key says about its item: the one place that reads the keys' suffix and kinds.
namespace webtree {

// The suffix of an image key that shows a marked item.
inline constexpr std::string_view MarkSuffix = "_n";

// Removes every occurrence of the mark suffix from a key, exactly and case-sensitively.
std::string stripMarkSuffix(std::string key);

// True when the key's last two characters are the mark suffix.
bool hasMarkSuffix(std::string_view key);

// Whether the image shows a folder ("closed" or "open", marked or not); the web's own "web" is not one.
bool isFolderImage(std::string_view image);
inline bool isFolderNode(const host::Node& node) {
    return isFolderImage(node.image());
}

} // namespace webtree
