#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Finds the URLs a document refers to, as written (entities decoded, nothing resolved).
namespace links {

struct PageReferences {
    std::optional<std::string> baseHref; // the first <base href>, which every relative URL resolves against
    std::vector<std::string> urls;       // in document order
    // Nested too deep to build its tree in bounded time: its tags were read one by one, so a link the
    // tree would drop (an <img> inside <select>, say) counts.
    bool readTagByTag = false;
};

// An HTML page, parsed as a browser parses it: href, src, background, data (of <object>), action,
// poster and srcset attributes, and the url()s of style attributes and <style> elements.
PageReferences scanHtml(std::string_view html);

// A style sheet: every url(...) and every @import "...".
std::vector<std::string> scanCss(std::string_view css);

// The URLs of a srcset attribute, without their width or density descriptors.
std::vector<std::string> scanSrcset(std::string_view srcset);

} // namespace links
