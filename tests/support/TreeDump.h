#pragma once

#include "host/TreeModel.h"

#include <string>
#include <vector>

namespace testsupport {

// One line per node in tree order: indentation by depth, the text, then "image/selected", and "+" when
// the node is expanded. Keys are left out: tests that care about keys check them directly.
inline std::vector<std::string> dumpTree(const host::TreeModel& tree) {
    std::vector<std::string> lines;
    tree.forEachInTreeOrder([&](const host::Node& n, std::size_t depth) {
        lines.push_back(std::string(depth * 2, ' ') + std::string(n.text()) + " " + n.image() + "/" +
                        n.selectedImage() + (n.expanded() ? " +" : ""));
    });
    return lines;
}

} // namespace testsupport
