#include "links/LinkIndex.h"

#include "host/Failure.h"
#include "links/LinkScanner.h"
#include "links/UrlResolver.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <unordered_map>

namespace links {
namespace {

std::string lowerExtension(std::string_view path) {
    const auto slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    std::string ext(name.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

constexpr std::array<std::string_view, 6> PageExtensions{"htm", "html", "asp", "aspx", "shtml", "htx"};

} // namespace

bool isPage(std::string_view path) {
    const std::string ext = lowerExtension(path);
    return std::find(PageExtensions.begin(), PageExtensions.end(), ext) != PageExtensions.end();
}

bool isStyleSheet(std::string_view path) {
    return lowerExtension(path) == "css";
}

void LinkIndex::addDocument(const std::string& path, std::string_view content) {
    PageReferences refs;
    if (isPage(path))
        refs = scanHtml(content);
    else if (isStyleSheet(path))
        refs.urls = scanCss(content);
    else
        return;
    if (refs.readTagByTag)
        readTagByTag_.push_back(path);
    const std::optional<std::string_view> base =
        refs.baseHref ? std::optional<std::string_view>(*refs.baseHref) : std::nullopt;
    for (auto& url : refs.urls) {
        auto target = resolve(path, url, base);
        if (!target)
            continue;
        byTarget_.emplace(*target, links_.size());
        links_.push_back({path, std::move(url), std::move(*target)});
    }
}

std::unordered_set<std::string> LinkIndex::reachedFrom(const std::string& start, const Reach& reach) const {
    // A document's links stand together, in the order the documents were added.
    std::unordered_map<std::string_view, std::pair<std::size_t, std::size_t>> linksOf;
    for (std::size_t i = 0; i < links_.size(); ++i) {
        auto [it, added] = linksOf.try_emplace(links_[i].page, i, i + 1);
        if (!added)
            it->second.second = i + 1;
    }
    std::unordered_set<std::string> reached;
    std::vector<std::string> toFollow;
    const auto arrive = [&](const std::string& target) {
        if (auto item = reach(target); item && reached.insert(*item).second)
            toFollow.push_back(std::move(*item));
    };
    arrive(start);
    while (!toFollow.empty()) {
        const std::string page = std::move(toFollow.back());
        toFollow.pop_back();
        if (const auto it = linksOf.find(page); it != linksOf.end()) {
            for (std::size_t i = it->second.first; i < it->second.second; ++i)
                arrive(links_[i].target);
        }
    }
    return reached;
}

std::vector<const Link*> LinkIndex::linksTo(std::string_view item) const {
    std::vector<std::size_t> found;
    if (item == ".") {
        for (std::size_t i = 0; i < links_.size(); ++i)
            found.push_back(i);
    } else {
        const auto [first, last] = byTarget_.equal_range(item);
        for (auto it = first; it != last; ++it)
            found.push_back(it->second);
        // Everything beneath a folder sorts right after "folder/" and before "folder0".
        const std::string beneath = std::string(item) + "/";
        for (auto it = byTarget_.lower_bound(beneath);
             it != byTarget_.end() && it->first.starts_with(beneath); ++it)
            found.push_back(it->second);
        std::sort(found.begin(), found.end());
    }
    std::vector<const Link*> out;
    out.reserve(found.size());
    for (std::size_t i : found)
        out.push_back(&links_[i]);
    return out;
}

LinkIndex indexDocuments(const DocumentReader& read, const std::vector<std::string>& documents) {
    LinkIndex index;
    for (const auto& document : documents) {
        if (!isPage(document) && !isStyleSheet(document))
            continue;
        if (const auto content = read(document))
            index.addDocument(document, *content);
    }
    return index;
}

} // namespace links
