#pragma once

#include "host/TreeModel.h"
#include "host/WebModel.h"

namespace webtree {

// Builds the tree of the web open in the host: the root "ROOT", then every folder and file of the web.
// Folder nodes start marked and are cleared by any unmarked file beneath them. Expects an empty tree;
// any failure but the guarded reads ends filling, and the nodes added so far stay.
void Fill(host::Application& app, host::TreeModel& tvwWeb);

} // namespace webtree
