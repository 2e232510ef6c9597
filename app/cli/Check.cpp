// varnook check: the links of the pages a deploy sends that point at items it leaves out ("would break
// on the server") or at nothing at all ("already broken").
#include "app/cli/Commands.h"
#include "app/cli/LoadedWindow.h"
#include "app/cli/NodeJson.h"
#include "app/publishing/Deployment.h"
#include "app/publishing/Unlinked.h"
#include "app/publishing/UnreadableMarks.h"
#include "host/Failure.h"
#include "host/disk/SystemErrors.h"
#include "host/disk/WebDetection.h"
#include "links/LinkIndex.h"
#include "webtree/NodeImages.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace app {
namespace {

using host::disk::printable;

enum class Verdict { Fine, WouldBreak, AlreadyBroken };

struct Problem {
    Verdict verdict;
    std::string reason;
    const links::Link* link; // links come in tree order of their pages, then document order
};

// Items of the tree by their path, and what a deploy does with each.
struct DeployMap {
    std::unordered_map<std::string, Deployment> byPath;
    std::vector<std::string> documents; // deployed pages and style sheets, in tree order
};

DeployMap mapDeployment(const LoadedWindow& window) {
    DeployMap map;
    window.tree().forEachInTreeOrder([&](const host::Node& node, std::size_t) {
        const std::string path = window.relativePath(node);
        const Deployment d = deploymentOf(node);
        map.byPath.emplace(path, d);
        if (d.deployed && !webtree::isFolderNode(node) && node.parent() != nullptr &&
            (links::isPage(path) || links::isStyleSheet(path)))
            map.documents.push_back(path);
    });
    return map;
}

// The target's fate on the server. Items the window does not show (the editor's hidden folders such as
// "_borders", and its "_vti_*" bookkeeping) are judged by the folder they lie in and the disk.
std::pair<Verdict, std::string> judge(const DeployMap& map, host::disk::DiskApplication& web,
                                      const std::string& target, bool keepMetadata) {
    if (const auto it = map.byPath.find(target); it != map.byPath.end()) {
        if (it->second.deployed)
            return {Verdict::Fine, {}};
        return {Verdict::WouldBreak, it->second.why == Why::OwnMark
                                         ? "marked Don't Publish"
                                         : "a folder with nothing published in it"};
    }
    if (target == "." || !web.exists(target))
        return {target == "." ? Verdict::Fine : Verdict::AlreadyBroken, "no such item"};
    std::string folder = target;
    while (true) {
        const auto slash = folder.rfind('/');
        const std::string name = folder.substr(slash == std::string::npos ? 0 : slash + 1);
        if (!keepMetadata && name.starts_with("_vti_"))
            return {Verdict::WouldBreak, "the editor's metadata, never deployed"};
        if (slash == std::string::npos)
            break;
        folder.resize(slash);
        if (const auto it = map.byPath.find(folder); it != map.byPath.end()) {
            if (!it->second.deployed)
                return {Verdict::WouldBreak, "in a folder with nothing published in it"};
            break;
        }
    }
    return {Verdict::Fine, {}};
}

struct Orphan {
    std::string path;
    std::uintmax_t size;
};

std::vector<Orphan> orphansOf(LoadedWindow& window, const links::LinkIndex& index) {
    std::vector<Orphan> orphans;
    for (const host::Node* node : unlinkedFiles(window.tree(), index)) {
        std::string path = window.relativePath(*node);
        std::error_code ec;
        const auto size = std::filesystem::file_size(window.disk().webPath() / path, ec);
        orphans.push_back({std::move(path), ec ? 0 : size});
    }
    return orphans;
}

std::string sizeText(std::uintmax_t bytes) {
    char text[32];
    if (bytes >= 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    else if (bytes >= 1024)
        std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1024.0);
    else
        std::snprintf(text, sizeof text, "%ju bytes", bytes);
    return text;
}

std::string quoted(const std::string& url) {
    return nlohmann::json(url).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace

Outcome runCheck(const std::string& webPath, CheckFormat format, bool keepMetadata, bool orphans,
                 std::ostream& out, std::ostream& warnings) {
    LoadedWindow window(webPath, warnings);
    host::disk::warnWhenNotAWeb(window.disk(), webPath, warnings);
    requireEveryMarkRead(window.disk().unreadableMarks());
    const DeployMap map = mapDeployment(window);
    const auto read = [&](const std::string& path) {
        auto content = window.disk().readFile(path);
        if (!content)
            warnings << "varnook: warning: '" << printable(path)
                     << "' is a symbolic link: its links are not read, and a deploy sends the link itself\n";
        return content;
    };
    const links::LinkIndex index = links::indexDocuments(read, map.documents);
    for (const auto& page : index.pagesReadTagByTag())
        warnings
            << "varnook: warning: '" << printable(page)
            << "' nests its elements too deep to read as a browser does: its links were read tag by tag\n";

    if (orphans) {
        const std::vector<Orphan> found = orphansOf(window, index);
        std::uintmax_t total = 0;
        for (const auto& orphan : found)
            total += orphan.size;
        if (format == CheckFormat::Json) {
            std::vector<nlohmann::ordered_json> items;
            for (const auto& orphan : found)
                items.push_back(nlohmann::ordered_json{{"path", orphan.path}, {"size", orphan.size}});
            printJsonLines(items, out);
        } else {
            for (const auto& orphan : found)
                out << printable(orphan.path) << '\n';
            out << found.size() << (found.size() == 1 ? " published file is" : " published files are")
                << " not linked from the home page: " << sizeText(total) << '\n';
        }
        return {};
    }

    std::vector<Problem> problems;
    const auto& all = index.links();
    for (std::size_t i = 0; i < all.size(); ++i) {
        auto [verdict, reason] = judge(map, window.disk(), all[i].target, keepMetadata);
        if (verdict != Verdict::Fine)
            problems.push_back({verdict, std::move(reason), &all[i]});
    }
    // Grouped by target: what would break first, then what is broken already.
    std::stable_sort(problems.begin(), problems.end(), [](const Problem& a, const Problem& b) {
        if (a.verdict != b.verdict)
            return a.verdict == Verdict::WouldBreak;
        return a.link->target < b.link->target;
    });
    const auto wouldBreak = static_cast<std::size_t>(std::count_if(
        problems.begin(), problems.end(), [](const Problem& p) { return p.verdict == Verdict::WouldBreak; }));

    if (format == CheckFormat::Json) {
        std::vector<nlohmann::ordered_json> items;
        for (const auto& p : problems) {
            nlohmann::ordered_json j;
            j["status"] = p.verdict == Verdict::WouldBreak ? "would-break" : "already-broken";
            j["target"] = p.link->target;
            j["page"] = p.link->page;
            j["link"] = p.link->url;
            j["reason"] = p.reason;
            items.push_back(std::move(j));
        }
        printJsonLines(items, out);
    } else {
        for (const auto& p : problems) {
            out << printable(p.link->page) << ": " << quoted(p.link->url) << " -> "
                << printable(p.link->target) << ": "
                << (p.verdict == Verdict::WouldBreak ? "would break on the server" : "already broken") << " ("
                << p.reason << ")\n";
        }
        const std::size_t broken = problems.size() - wouldBreak;
        out << map.documents.size() << " documents checked, " << all.size() << " links: ";
        if (problems.empty())
            out << "no link would break\n";
        else
            out << wouldBreak << " would break on the server, " << broken << " already broken\n";
    }
    return {wouldBreak > 0 ? 1 : 0, false};
}

} // namespace app
