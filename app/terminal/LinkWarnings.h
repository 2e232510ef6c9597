#pragma once

#include "app/publishing/Unlinked.h"
#include "host/TreeModel.h"
#include "host/disk/DiskWeb.h"
#include "links/LinkIndex.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// Which items left out are still linked from pages that are published: the links that break on the server.
// The index holds the links of every page the window shows, published or not, so a choice only changes
// which of them count, and the pages are read once per window.
namespace terminal {

struct LinkWarning {
    std::vector<std::string> pages; // the published pages that link, paths below the web, in link order
    std::size_t links = 0;
};

// "linked from index.htm, about.htm: these links will break" (at most three pages named).
std::string describe(const LinkWarning& warning);

using app::pathBelowWeb;

class LinkWarnings {
  public:
    LinkWarnings() = default;
    // Reads every page and style sheet of the tree. One that cannot be read throws host::Failure.
    static LinkWarnings build(const host::TreeModel& tree, host::disk::DiskApplication& web);

    // Every node that shows left out and that a published page links to, as the tree shows them now.
    std::unordered_map<const host::Node*, LinkWarning> warnings(const host::TreeModel& tree) const;
    // The links of published pages to the node's item or anything beneath it, when the node shows left out.
    LinkWarning into(const host::TreeModel& tree, const host::Node& node) const;
    // The published files that no published page reaches by links from the home page, as the tree
    // shows them now: candidates to leave out (scripts and server code may still use them).
    std::unordered_set<const host::Node*> unlinked(const host::TreeModel& tree) const;
    // The pages nested too deep to read as a browser does: their links were read tag by tag.
    const std::vector<std::string>& pagesReadTagByTag() const { return index_.pagesReadTagByTag(); }

  private:
    links::LinkIndex index_;
};

} // namespace terminal
