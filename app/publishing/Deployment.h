#pragma once

#include "host/TreeModel.h"
#include "host/Value.h"

#include <string_view>
#include <vector>

// What a deploy sends: exactly what the publishing window shows as published, read off a freshly filled
// tree. list, rsync, gitignore, json and check all ask here.
namespace app {

enum class Why {
    Published,               // deployed
    OwnMark,                 // a file the window shows marked
    NothingPublishedBeneath, // a folder left out as a whole: no published file anywhere beneath it
};

struct Deployment {
    bool deployed;
    Why why;
};

// A file is left out when the window shows it marked; a folder when it shows marked, which it does
// exactly when no published file lies beneath it. A folder's own mark decides nothing: a published
// file in it is sent, and the folder with it. The web itself is always deployed.
Deployment deploymentOf(const host::Node& node);

// "published", "own mark", "nothing published beneath".
std::string_view describe(Why why);

// The nodes a deploy leaves out, in tree order. topmostOnly: without the contents of a folder that is
// left out as a whole, which is all that rules for rsync or git need.
std::vector<const host::Node*> leftOut(const host::TreeModel& tree, bool topmostOnly);

// An item's own mark as the window reads it: the text "True" for every item but the home page, whose
// mark counts by its Boolean value. A value that cannot be converted counts as unmarked.
bool readsAsMarked(const host::Value& value, bool homePage);

} // namespace app
