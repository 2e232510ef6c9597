#include "webtree/NodeImages.h"

namespace webtree {

bool hasMarkSuffix(std::string_view key) {
    return key.ends_with(MarkSuffix);
}

std::string stripMarkSuffix(std::string key) {
    for (auto pos = key.find(MarkSuffix); pos != std::string::npos; pos = key.find(MarkSuffix, pos))
        key.erase(pos, MarkSuffix.size());
    return key;
}

bool isFolderImage(std::string_view image) {
    const std::string base = stripMarkSuffix(std::string(image));
    return base == "closed" || base == "open";
}

} // namespace webtree
