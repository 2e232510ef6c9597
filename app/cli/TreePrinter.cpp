#include "app/cli/TreePrinter.h"

#include "app/publishing/ShownState.h"
#include "text/Utf8.h"
#include "webtree/NodeImages.h"

#include <algorithm>
#include <string>
#include <vector>

namespace app {
namespace {

std::string kindName(const std::string& image) {
    if (webtree::isFolderImage(image))
        return "folder";
    const std::string base = webtree::stripMarkSuffix(image);
    if (base == "home")
        return "home page";
    return base;
}

} // namespace

void printTreeTsv(const host::TreeModel& tree, std::ostream& out) {
    tree.forEachInTreeOrder([&](const host::Node& n, std::size_t depth) {
        out << depth << '\t' << n.key() << '\t' << n.text() << '\t' << n.image() << '\t' << n.selectedImage()
            << '\t' << (n.expanded() ? 1 : 0) << '\n';
    });
}

void printTreeReadable(const host::TreeModel& tree, std::ostream& out) {
    struct Row {
        std::string label;
        std::string kind;
    };
    std::vector<Row> rows;
    const BeneathCounts beneath = countBeneath(tree);
    auto sign = [&](const host::Node& n) {
        switch (shownState(n, beneath.at(&n))) {
        case Shown::NotPublished:
            return "[x] ";
        case Shown::Partly:
            return "[~] ";
        case Shown::Published:
            break;
        }
        return "[ ] ";
    };
    tree.forEachInTreeOrder([&](const host::Node& n, std::size_t depth) {
        if (depth == 0) {
            rows.push_back({std::string(n.text()), "web"});
            return;
        }
        const bool folder = webtree::isFolderNode(n);
        std::string label =
            std::string(depth * 2, ' ') + sign(n) + std::string(n.text()) + (folder ? "/" : "");
        rows.push_back({std::move(label), kindName(n.image())});
    });
    // Columns as the terminal shows them: a name with "ü" or a wide character takes its cells, not its bytes.
    int width = 0;
    for (const auto& r : rows)
        width = std::max(width, text::textWidth(r.label));
    for (const auto& r : rows)
        out << r.label << std::string(static_cast<std::size_t>(width - text::textWidth(r.label) + 2), ' ')
            << r.kind << '\n';
    out << "\n[x] Don't Publish   [~] published, holds items left out   [ ] published\n";
}

} // namespace app
