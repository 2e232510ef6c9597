#pragma once

#include "host/TreeModel.h"
#include "links/LinkIndex.h"

#include <string>
#include <vector>

namespace app {

// The item's path below the web ("." for the web), from the node texts.
std::string pathBelowWeb(const host::Node& node);

// The published files that no published page reaches by links from the web's home page (the node that
// shows the home image), in tree order: links are followed only out of what is published, and a link to
// a published folder reaches the page a server shows for it. `index` holds the links of the web's pages;
// those of pages left out do not count, however it was built.
std::vector<const host::Node*> unlinkedFiles(const host::TreeModel& tree, const links::LinkIndex& index);

} // namespace app
