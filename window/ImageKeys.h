#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace window {

// The keys of the image list ilWeb, in its order (index 1 to 27). Every image but "web" has a marked
// partner whose key ends in "_n".
inline constexpr std::array<std::string_view, 27> ImageKeys = {
    "config", "config_n", "closed",  "closed_n",  "open",   "open_n",   "home",       "home_n", "gif",
    "gif_n",  "media",    "media_n", "page",      "page_n", "script",   "script_n",   "jpg",    "jpg_n",
    "text",   "text_n",   "unknown", "unknown_n", "web",    "winmedia", "winmedia_n", "xml",    "xml_n",
};

inline std::vector<std::string> imageKeyList() {
    return {ImageKeys.begin(), ImageKeys.end()};
}

} // namespace window
