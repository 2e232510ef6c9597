#pragma once

#include "host/WebModel.h"
#include "webtree/NodeImages.h"

#include <string>
#include <string_view>

namespace webtree {

// The property that excludes an item from publishing.
inline constexpr std::string_view MarkProperty = "vti_donotpublish";

// The kind key ("page", "jpg", ..., "unknown") for an extension, compared after lower-casing.
std::string kindForExtension(std::string_view extension);

// The image of an ordinary file's node: its kind, marked when the file's mark reads as the text "True".
// A failing read of the mark counts as unmarked; a failing read of the extension is an error.
std::string GetFileImage(host::File& file);

} // namespace webtree
