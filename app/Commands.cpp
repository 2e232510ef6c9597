#include "app/Commands.h"

#include "app/Deployment.h"
#include "app/ExclusionRules.h"
#include "app/LoadedWindow.h"
#include "app/NodeJson.h"
#include "app/TreePrinter.h"
#include "app/UnreadableMarks.h"
#include "app/WebDetection.h"
#include "host/Failure.h"
#include "webtree/FileImage.h"
#include "webtree/Fill.h"
#include "window/ImageKeys.h"
#include "window/PngWriter.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

namespace app {
namespace {

void printTree(const host::TreeModel& tree, bool tsv, std::ostream& out) {
    if (tsv)
        printTreeTsv(tree, out);
    else
        printTreeReadable(tree, out);
}

std::string displayPath(const LoadedWindow& window, const host::Node& node) {
    return window.relativePath(node) + (isFolderNode(node) && node.parent() != nullptr ? "/" : "");
}

// Puts the node in the state from which "Don't Publish" goes the wanted way, as if the window showed
// it so: a file to be marked shows published, an item to be published shows marked.
void prepare(window::frmMain& form, host::Node& node, MarkDirection direction) {
    if (node.parent() == nullptr)
        return;
    const bool shownMarked = webtree::hasMarkSuffix(node.image());
    if (direction == MarkDirection::Mark && shownMarked && !isFolderNode(node)) {
        node.setImage(webtree::stripMarkSuffix(node.image()));
        node.setSelectedImage(webtree::stripMarkSuffix(node.selectedImage()));
    } else if (direction == MarkDirection::Unmark && !shownMarked) {
        form.MarkNodeImages(node);
    }
}

void initWeb(const std::filesystem::path& web) {
    std::error_code ec;
    const auto folder = web / "_vti_pvt";
    std::filesystem::create_directory(folder, ec);
    if (ec)
        throw host::Failure(host::status::Fail, "cannot make " + folder.string() + ": " + ec.message());
    // Made by root in someone else's folder: theirs, so that their own markings can lock the web.
    struct stat owner {};
    if (::geteuid() == 0 && ::stat(web.c_str(), &owner) == 0 &&
        ::lchown(folder.c_str(), owner.st_uid, owner.st_gid) != 0)
        throw host::Failure(host::status::Fail, "cannot give " + folder.string() +
                                                    " the owner of the web: " + std::strerror(errno));
}

// Every ITEM names a node of the window. A usage error is found before anything is made, so a web that has
// no lock file yet (or a folder about to become a web) is read once without one to check the items.
void checkItemsBeforeMaking(const std::string& webPath, const std::vector<std::string>& items) {
    std::ostream silent(nullptr); // the real fill names what it leaves out
    LoadedWindow probe(webPath, silent, true, LoadedWindow::Access::Read);
    for (const auto& item : items) {
        if (probe.nodeFor(item) == nullptr)
            throw UsageError{"no item '" + item + "' in " + webPath};
    }
}

} // namespace

Outcome runTree(const std::string& webPath, TreeFormat format, std::ostream& out, std::ostream& warnings) {
    LoadedWindow window(webPath, warnings);
    warnWhenNotAWeb(window.disk(), webPath, warnings);
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
    // Refused before anything is written, the lock file included.
    std::error_code ec;
    const bool makeAWeb = std::filesystem::is_directory(webPath, ec) && !looksLikeAWeb(webPath);
    if (makeAWeb && !options.init)
        throw host::Failure(
            host::status::InvalidArg,
            "'" + webPath +
                "' is not a web (no _vti_pvt or _vti_cnf folder in it); give --init to make it one");
    const auto lockFile = std::filesystem::path(webPath) / "_vti_pvt" / "varnook.lock";
    if (!options.dryRun &&
        (makeAWeb || !std::filesystem::exists(std::filesystem::symlink_status(lockFile, ec))))
        checkItemsBeforeMaking(webPath, items);
    if (makeAWeb && !options.dryRun)
        initWeb(webPath);
    const auto access = options.dryRun   ? LoadedWindow::Access::Read
                        : options.noWait ? LoadedWindow::Access::WriteWithoutWaiting
                                         : LoadedWindow::Access::Write;
    LoadedWindow window(webPath, warnings, options.dryRun, access);
    std::vector<host::Node*> nodes;
    for (const auto& item : items) {
        host::Node* node = window.nodeFor(item);
        if (node == nullptr)
            throw UsageError{"no item '" + item + "' in " + webPath};
        nodes.push_back(node);
    }

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
    warnWhenNotAWeb(window.disk(), webPath, warnings);
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
    for (const host::Node* node : leftOut(window.tree(), true)) {
        const std::string path = window.relativePath(*node);
        out << (rsync ? rsyncExcludeRule(path, isFolderNode(*node))
                      : gitignoreRule(path, isFolderNode(*node)))
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
