#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// The links of a web's pages to its items: built once from the documents a deploy sends, then asked
// which pages link to a given item.
namespace links {

struct Link {
    std::string page;   // the document holding the link, a path below the web
    std::string url;    // as written in the document
    std::string target; // the item it resolves to, a path below the web ("." for the web)
};

// Documents whose links are followed: pages (.htm, .html, .asp, .aspx, .shtml, .htx) and style sheets
// (.css), in any letter case.
bool isPage(std::string_view path);
bool isStyleSheet(std::string_view path);

class LinkIndex {
  public:
    // Adds the links of one document, a page or a style sheet by its name; other documents add nothing.
    void addDocument(const std::string& path, std::string_view content);

    // Every link, documents in the order added, links in document order.
    const std::vector<Link>& links() const { return links_; }

    // The links whose target is the item, or lies beneath it when the item is a folder; "." gives every
    // link. In the order of links().
    std::vector<const Link*> linksTo(std::string_view item) const;

    // What links reach from the document `start`, `start` among them: `reach` turns a start or a link's
    // target into the item it reaches (a folder's: the page the server shows for it), or none when it
    // reaches nothing that counts; only what it gives is followed further.
    using Reach = std::function<std::optional<std::string>(const std::string& target)>;
    std::unordered_set<std::string> reachedFrom(const std::string& start, const Reach& reach) const;

    // The pages nested too deep to parse as a browser does, in the order added: their links were read
    // tag by tag.
    const std::vector<std::string>& pagesReadTagByTag() const { return readTagByTag_; }

  private:
    std::vector<Link> links_;
    std::vector<std::string> readTagByTag_;
    std::multimap<std::string, std::size_t, std::less<>> byTarget_;
};

// Reads each document (paths below the web's folder) with `read` and indexes it; a document that read
// gives none of (a symbolic link, say) is not indexed. A document that cannot be read fails the whole
// index with host::Failure: a check that skipped it would report fewer broken links than there are.
using DocumentReader = std::function<std::optional<std::string>(const std::string& path)>;
LinkIndex indexDocuments(const DocumentReader& read, const std::vector<std::string>& documents);

} // namespace links
