#include "app/cli/Commands.h"

#include "app/cli/LoadedWindow.h"
#include "app/cli/NodeJson.h"
#include "app/cli/Suggestions.h"
#include "app/cli/TreePrinter.h"
#include "app/publishing/Deployment.h"
#include "app/publishing/ExclusionRules.h"
#include "app/publishing/PathPattern.h"
#include "app/publishing/UnreadableMarks.h"
#include "host/Failure.h"
#include "host/disk/SystemErrors.h"
#include "host/disk/WebDetection.h"
#include "webtree/FileImage.h"
#include "webtree/NodeImages.h"
#include "window/ImageKeys.h"
#include "window/PngWriter.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>

namespace app {
namespace {

void printTree(const host::TreeModel& tree, bool tsv, std::ostream& out) {
    if (tsv)
        printTreeTsv(tree, out);
    else
        printTreeReadable(tree, out);
}

std::string displayPath(const LoadedWindow& window, const host::Node& node) {
    return window.relativePath(node) + (webtree::isFolderNode(node) && node.parent() != nullptr ? "/" : "");
}

// Puts the node in the state from which "Don't Publish" goes the wanted way, as if the window showed
// it so: a file to be marked shows published, an item to be published shows marked.
void prepare(window::frmMain& form, host::Node& node, MarkDirection direction) {
    if (node.parent() == nullptr)
        return;
    const bool shownMarked = webtree::hasMarkSuffix(node.image());
    if (direction == MarkDirection::Mark && shownMarked && !webtree::isFolderNode(node)) {
        node.setImage(webtree::stripMarkSuffix(node.image()));
        node.setSelectedImage(webtree::stripMarkSuffix(node.selectedImage()));
    } else if (direction == MarkDirection::Unmark && !shownMarked) {
        form.MarkNodeImages(node);
    }
}

// The node of every ITEM; one that names none is a usage error.
std::vector<host::Node*> nodesOf(const LoadedWindow& window, const std::vector<std::string>& items,
                                 const std::string& webPath) {
    std::vector<host::Node*> nodes;
    for (const auto& item : items) {
        host::Node* node = window.nodeFor(item);
        if (node == nullptr) {
            std::string message = "no item '" + item + "' in " + webPath;
            if (const auto near =
                    nearestOf(item, [&](const auto& consider) { window.forEachItemPath(consider); }))
                message += "; did you mean '" + *near + "'?";
            throw UsageError{message};
        }
        nodes.push_back(node);
    }
    return nodes;
}

// The items the patterns match, in tree order; beneath a folder that matches, nothing more is taken, since
// the folder's command spreads to all of it. A pattern that matches nothing is said.
std::vector<host::Node*> nodesMatching(const LoadedWindow& window, const std::vector<PathPattern>& patterns,
                                       std::ostream& warnings) {
    std::vector<host::Node*> nodes;
    if (patterns.empty())
        return nodes;
    std::vector<bool> used(patterns.size(), false);
    // In tree order a folder's contents follow it, deeper, until a node no deeper than the folder.
    std::optional<std::size_t> takenFolderDepth;
    std::string path;
    window.tree().forEachInTreeOrder([&](const host::Node& node, std::size_t depth) {
        if (depth == 0)
            return;
        const bool beneathTaken = takenFolderDepth && depth > *takenFolderDepth;
        if (!beneathTaken)
            takenFolderDepth.reset();
        path = window.relativePath(node);
        const bool folder = webtree::isFolderNode(node);
        bool taken = false;
        for (std::size_t i = 0; i < patterns.size(); ++i) {
            if (patterns[i].matches(path, folder)) {
                used[i] = true; // beneath a folder taken too: the pattern did match
                taken = true;
            }
        }
        if (!taken || beneathTaken)
            return;
        nodes.push_back(&const_cast<host::Node&>(node)); // the walk hands out the tree's own nodes
        if (folder)
            takenFolderDepth = depth;
    });
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        if (!used[i])
            warnings << "varnook: no item matches the pattern '" << host::disk::printable(patterns[i].text())
                     << "'\n";
    }
    return nodes;
}

} // namespace

Outcome runTree(const std::string& webPath, TreeFormat format, std::ostream& out, std::ostream& warnings) {
    LoadedWindow window(webPath, warnings);
    host::disk::warnWhenNotAWeb(window.disk(), webPath, warnings);
    if (const auto& unreadable = window.disk().unreadableMarks(); !unreadable.empty())
        warnings << "varnook: warning: " << describeUnreadableMarks(unreadable) << '\n';
    if (format != TreeFormat::Json) {
        printTree(window.tree(), format == TreeFormat::Tsv, out);
        return {};
    }
    std::vector<nlohmann::ordered_json> nodes;
    window.tree().forEachInTreeOrder(
        [&](const host::Node& node, std::size_t) { nodes.push_back(nodeJson(window, node)); });
    printJsonLines(nodes, out);
    return {};
}

Outcome runMarking(const std::string& webPath, const std::vector<std::string>& items, MarkDirection direction,
                   const MarkOptions& options, std::ostream& out, std::ostream& warnings) {
    if (items.empty() && options.patterns.empty())
        throw UsageError{"give an ITEM, or --match PATTERN for mark and unmark"};
    std::vector<PathPattern> patterns;
    for (const auto& text : options.patterns) {
        try {
            patterns.emplace_back(text);
        } catch (const std::invalid_argument& e) {
            throw UsageError{e.what()};
        }
    }
    // Refused before anything is written, the lock file included.
    std::error_code ec;
    const bool makeAWeb = std::filesystem::is_directory(webPath, ec) && !host::disk::looksLikeAWeb(webPath);
    if (makeAWeb && !options.init)
        throw host::Failure(
            host::status::InvalidArg,
            "'" + webPath +
                "' is not a web (no _vti_pvt or _vti_cnf folder in it); give --init to make it one");
    // The lock, taken below, makes "_vti_pvt" (theirs when root makes it in another user's folder): with
    // --init, that makes the folder a web.
    // A usage error is found before anything is made, so a web without a lock file is read once without
    // the lock to check the items.
    if (!options.dryRun && !host::disk::hasLockFile(webPath)) {
        std::ostream silent(nullptr); // the real fill names what it leaves out
        nodesOf(LoadedWindow(webPath, silent, true, LoadedWindow::Access::Read), items, webPath);
    }
    const auto access = options.dryRun   ? LoadedWindow::Access::Read
                        : options.noWait ? LoadedWindow::Access::WriteWithoutWaiting
                                         : LoadedWindow::Access::Write;
    LoadedWindow window(webPath, warnings, options.dryRun, access);
    std::vector<host::Node*> nodes = nodesOf(window, items, webPath);
    for (host::Node* node : nodesMatching(window, patterns, warnings))
        nodes.push_back(node);
    // The editor's rules let the web's own menu entry run and change nothing: say so rather than nothing.
    if (direction != MarkDirection::Unmark &&
        std::any_of(nodes.begin(), nodes.end(),
                    [](const host::Node* node) { return node->parent() == nullptr; }))
        warnings << "varnook: the web itself cannot be left out: mark the folders and files in it\n";

    auto& form = window.form();
    // One command over every item: a mark that cannot be written does not stop the others, and what did
    // change is still printed before the failure is reported.
    std::optional<std::string> failure;
    try {
        form.RunAsOneCommand([&] {
            for (host::Node* node : nodes) {
                // As a person does it: select the node, then choose "Don't Publish" from its menu.
                form.tree().select(node);
                if (direction == MarkDirection::Toggle) {
                    form.tvwWeb_MouseUp(2, 0, 0, 0);
                } else {
                    prepare(form, *node, direction);
                    form.setNoPublishChecked(direction == MarkDirection::Unmark);
                    form.mnuNoPublish_Click();
                }
            }
        });
    } catch (const host::Failure& f) {
        failure = f.what();
    }
    window.commit();

    // What changed, in tree order, by the mark as the window reads it.
    std::vector<std::string> lines;
    std::vector<nlohmann::ordered_json> changed;
    std::size_t marked = 0;
    std::size_t published = 0;
    window.tree().forEachInTreeOrder([&](const host::Node& node, std::size_t) {
        const auto change = window.journal().changeOf(form.GetNodeUrl(node), webtree::MarkProperty);
        if (!change)
            return;
        const bool home = window.isHomePage(node);
        const bool before = readsAsMarked(change->before, home);
        const bool after = readsAsMarked(change->after, home);
        if (before == after)
            return;
        (after ? marked : published)++;
        lines.push_back(std::string(after ? "marked" : "published") + "  " + displayPath(window, node));
        if (options.json) {
            nlohmann::ordered_json entry{{"change", after ? "marked" : "published"}};
            entry.update(nodeJson(window, node));
            changed.push_back(std::move(entry));
        }
    });

    Outcome outcome;
    outcome.webChanged = !options.dryRun && !lines.empty();
    if (failure) {
        warnings << "varnook: " << *failure << '\n';
        outcome.exitCode = 1;
    }
    if (options.quiet)
        return outcome;
    if (options.tsv) {
        printTreeTsv(window.tree(), out);
        return outcome;
    }
    if (options.json) {
        printJsonLines(changed, out);
        return outcome;
    }
    for (const auto& line : lines)
        out << line << '\n';
    const std::string dry = options.dryRun ? " (dry run: nothing written)" : "";
    if (lines.empty())
        out << "nothing changed" << dry << '\n';
    else
        out << marked << " marked, " << published << " published" << dry << '\n';
    return outcome;
}

Outcome runExcluded(const std::string& webPath, ExcludedFormat format, bool keepMetadata, std::ostream& out,
                    std::ostream& warnings) {
    LoadedWindow window(webPath, warnings);
    host::disk::warnWhenNotAWeb(window.disk(), webPath, warnings);
    requireEveryMarkRead(window.disk().unreadableMarks());
    if (format == ExcludedFormat::Json) {
        std::vector<nlohmann::ordered_json> nodes;
        for (const host::Node* node : leftOut(window.tree(), false))
            nodes.push_back(nodeJson(window, *node));
        printJsonLines(nodes, out);
        return {};
    }
    if (format == ExcludedFormat::List) {
        for (const host::Node* node : leftOut(window.tree(), false))
            out << displayPath(window, *node) << '\n';
        return {};
    }
    const bool rsync = format == ExcludedFormat::Rsync;
    if (!keepMetadata)
        out << (rsync ? RsyncMetadataRule : GitignoreMetadataRule) << '\n';
    else
        out << (rsync ? RsyncOwnFilesRules : GitignoreOwnFilesRules) << '\n';
    out << (rsync ? RsyncVersionControlRules : GitignoreVersionControlRules) << '\n';
    for (const host::Node* node : leftOut(window.tree(), true)) {
        const std::string path = window.relativePath(*node);
        out << (rsync ? rsyncExcludeRule(path, webtree::isFolderNode(*node))
                      : gitignoreRule(path, webtree::isFolderNode(*node)))
            << '\n';
    }
    return {};
}

Outcome runIcons(const std::string& dir, std::ostream& out) {
    try {
        window::writeAllPngs(dir);
    } catch (const std::filesystem::filesystem_error& e) {
        throw host::Failure(host::status::Fail,
                            "cannot write the images into " + dir + ": " + e.code().message());
    } catch (const std::exception& e) {
        throw host::Failure(host::status::Fail, e.what()); // names the file and the cause already
    }
    out << "wrote " << window::ImageKeys.size() << " images and the icon to " << dir << '\n';
    return {};
}

} // namespace app
