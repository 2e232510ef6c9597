#pragma once

#include "app/cli/LoadedWindow.h"

#include <nlohmann/json.hpp>

namespace app {

// One node as scripts read it: path (as toggle and mark accept it), kind, image, selectedImage, marked
// (what the window shows), ownMark (the item's own property as read; null when it cannot be read),
// deployed and why.
nlohmann::ordered_json nodeJson(LoadedWindow& window, const host::Node& node);

// A JSON array, one element to a line, so a large web stays readable and diffable. Names that are not
// UTF-8 have their bad bytes replaced.
void printJsonLines(const std::vector<nlohmann::ordered_json>& items, std::ostream& out);

} // namespace app
