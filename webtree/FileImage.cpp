#include "webtree/FileImage.h"

#include "host/Failure.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace webtree {
namespace {

struct KindRow {
    std::string_view kind;
    std::array<std::string_view, 6> extensions; // unused slots are empty
};

constexpr std::array<KindRow, 9> KindTable = {{
    {"config", {"asp", "aspx"}},
    {"page", {"htm", "html"}},
    {"script", {"js", "vbs"}},
    {"jpg", {"jpg", "jpeg", "png"}},
    {"gif", {"gif"}},
    {"text", {"txt", "inc"}},
    {"media", {"wav", "mpeg", "avi", "mpg", "mp3", "midi"}},
    {"winmedia", {"wma", "wmv"}},
    {"xml", {"xml", "xsd", "xsl"}},
}};

constexpr std::size_t longestKnownExtension() {
    std::size_t longest = 0;
    for (std::size_t row = 0; row < KindTable.size(); ++row) {
        for (std::size_t i = 0; i < KindTable[row].extensions.size(); ++i)
            longest = std::max(longest, KindTable[row].extensions[i].size());
    }
    return longest;
}

// Guarded read: a mark that cannot be read leaves the file unmarked.
bool readFileMark(host::File& file) {
    try {
        auto properties = file.properties();
        return properties->item(MarkProperty).textEquals("True");
    } catch (const host::Failure&) {
        return false;
    }
}

} // namespace

std::string kindForExtension(std::string_view extension) {
    // An extension longer than every one in the table is unknown without a look.
    constexpr std::size_t LongestKnown = longestKnownExtension();
    if (extension.empty() || extension.size() > LongestKnown)
        return "unknown";
    char buffer[LongestKnown];
    std::transform(extension.begin(), extension.end(), buffer,
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::string_view lower(buffer, extension.size());
    for (const auto& row : KindTable) {
        if (std::find(row.extensions.begin(), row.extensions.end(), lower) != row.extensions.end())
            return std::string(row.kind);
    }
    return "unknown";
}

std::string GetFileImage(host::File& file) {
    const bool marked = readFileMark(file);
    std::string kind = kindForExtension(file.extension());
    return marked ? kind + std::string(MarkSuffix) : kind;
}

} // namespace webtree
