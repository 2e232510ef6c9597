#include "app/terminal/TreeSearch.h"

#include "app/terminal/Text.h"

#include <algorithm>
#include <cwctype>

namespace terminal {
namespace {

std::u32string folded(std::string_view text) {
    std::u32string out = decodeUtf8(text);
    for (char32_t& c : out)
        c = static_cast<char32_t>(std::towlower(static_cast<std::wint_t>(c)));
    return out;
}

void inTreeOrder(host::Node& node, std::vector<host::Node*>& out) {
    // Iterative, so a very deep web cannot exhaust the stack.
    std::vector<host::Node*> stack{&node};
    while (!stack.empty()) {
        host::Node* n = stack.back();
        stack.pop_back();
        out.push_back(n);
        // The children go on in their order, then are turned round so that the first comes off first.
        const std::size_t first = stack.size();
        for (host::Node* child : n->children())
            stack.push_back(child);
        std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(first), stack.end());
    }
}

} // namespace

bool containsIgnoringCase(std::string_view text, std::string_view query) {
    return folded(text).find(folded(query)) != std::u32string::npos;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return folded(text).rfind(folded(prefix), 0) == 0;
}

host::Node* findNode(const host::TreeModel& tree, const host::Node* from, std::string_view query,
                     bool forward) {
    if (query.empty())
        return nullptr;
    std::vector<host::Node*> order;
    for (host::Node* root : tree.roots())
        inTreeOrder(*root, order);
    if (order.empty())
        return nullptr;
    const long n = static_cast<long>(order.size());
    long start = forward ? -1 : 0;
    for (long i = 0; i < n; ++i) {
        if (order[static_cast<std::size_t>(i)] == from) {
            start = i;
            break;
        }
    }
    for (long k = 1; k <= n; ++k) {
        const long i = ((start + (forward ? k : -k)) % n + n) % n;
        host::Node* node = order[static_cast<std::size_t>(i)];
        if (containsIgnoringCase(node->text(), query))
            return node;
    }
    return nullptr;
}

void expandAbove(host::Node& node) {
    for (host::Node* p = node.parent(); p != nullptr; p = p->parent()) {
        if (!p->expanded())
            p->setExpanded(true);
    }
}

void expandAll(host::Node& node) {
    std::vector<host::Node*> all;
    inTreeOrder(node, all);
    for (host::Node* n : all) {
        if (n->childCount() > 0 && !n->expanded())
            n->setExpanded(true);
    }
}

std::optional<std::size_t> typeAheadRow(const std::vector<TreeRow>& rows, std::optional<std::size_t> current,
                                        std::string_view prefix) {
    if (rows.empty() || prefix.empty())
        return std::nullopt;
    const std::size_t n = rows.size();
    const bool fresh = decodeUtf8(prefix).size() == 1;
    std::size_t start = 0;
    if (current)
        start = fresh ? *current + 1 : *current;
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t i = (start + k) % n;
        if (startsWithIgnoringCase(rows[i].node->text(), prefix))
            return i;
    }
    return std::nullopt;
}

} // namespace terminal
