#pragma once

#include "host/TreeModel.h"

#include <ostream>

namespace app {

// One line per node in tree order, TAB-separated: depth, key, text, image key, selected-image key,
// expanded (1 or 0). For scripts and tests.
void printTreeTsv(const host::TreeModel& tree, std::ostream& out);

// The tree as a person reads it: indentation by depth, "[x]" before an item marked Don't Publish, "[~]"
// before a folder shown published that holds items left out, "[ ]" before one that is published, folders
// with a trailing "/", and the kind of each node.
void printTreeReadable(const host::TreeModel& tree, std::ostream& out);

} // namespace app
