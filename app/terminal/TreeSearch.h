#pragma once

#include "app/terminal/TreeView.h"
#include "host/TreeModel.h"

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

// Finding nodes by their text: the search over the whole tree (folded folders too) and the type-ahead of
// the platform's tree controls over the rows that show. Matching ignores letter case.
namespace terminal {

bool containsIgnoringCase(std::string_view text, std::string_view query);
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);

// The next node after `from` (or the first, without one) in tree order whose text holds `query`, going
// backwards when `forward` is false; it wraps round and may come back to `from`. None when no node matches
// or the query is empty.
host::Node* findNode(const host::TreeModel& tree, const host::Node* from, std::string_view query,
                     bool forward);

// Expands every folder above the node, so it shows as a row.
void expandAbove(host::Node& node);
// Expands the node and everything beneath it.
void expandAll(host::Node& node);

// The row a type-ahead lands on: the first row whose text starts with `prefix`, looking from the row after
// `current` (a fresh prefix of one letter) or from `current` itself (a longer one, still matching there),
// wrapping round. None when no row matches.
std::optional<std::size_t> typeAheadRow(const std::vector<TreeRow>& rows, std::optional<std::size_t> current,
                                        std::string_view prefix);

} // namespace terminal
