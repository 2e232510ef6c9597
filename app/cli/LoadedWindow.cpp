#include "app/cli/LoadedWindow.h"

#include "app/publishing/Deployment.h"
#include "host/Failure.h"
#include "webtree/FileImage.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace app {
namespace {

std::unique_ptr<host::disk::DiskApplication> openWeb(const std::string& path, std::ostream& warnings) {
    try {
        return std::make_unique<host::disk::DiskApplication>(path, warnings);
    } catch (const host::Failure& f) {
        // The disk web names the web in its own message already.
        const std::string message = f.what();
        if (message.starts_with("cannot open the web"))
            throw;
        throw host::Failure(f.status(), "cannot open the web '" + path + "': " + message);
    }
}

} // namespace

LoadedWindow::LoadedWindow(const std::string& webPath, std::ostream& warnings, bool dryRun, Access access)
    : disk_(openWeb(webPath, warnings)),
      lock_(access == Access::Read ? nullptr : disk_->lockForWriting(access == Access::Write)),
      journal_(*disk_, dryRun) {
    try {
        form_.setVisible(true);
        homePageUrl_ = disk_->activeWeb()->homePageUrl();
    } catch (const host::Failure& f) {
        throw host::Failure(f.status(), std::string("filling the tree failed: ") + f.what());
    }
}

void LoadedWindow::commit() {
    if (lock_)
        lock_->commit();
}

std::string LoadedWindow::webUrl() const {
    return std::string(form_.tree().nodeByIndex(1).text());
}

host::Node* LoadedWindow::nodeFor(const std::string& item) const {
    // A path that starts with "/" is absolute, never one below the web.
    if (!item.starts_with("/")) {
        if (host::Node* node = nodeBelowWeb(item))
            return node;
    }
    // What a shell completes: a path from the current folder, or an absolute one, that leads into the web.
    // Compared as written, so no link is followed out of the web or into it.
    if (item.empty())
        return nullptr;
    std::error_code givenError, webError;
    const auto given = std::filesystem::absolute(item, givenError).lexically_normal();
    const auto web = std::filesystem::absolute(disk_->webPath(), webError).lexically_normal();
    if (givenError || webError)
        return nullptr;
    const auto below = given.lexically_relative(web);
    if (below.empty() || *below.begin() == "..")
        return nullptr;
    return nodeBelowWeb(below.generic_string());
}

host::Node* LoadedWindow::nodeBelowWeb(std::string_view item) const {
    // Empty and "." steps are what a shell or a hand leaves in a path ("images//logo.gif", "./a"); ".." is
    // no step below the web.
    std::string path;
    for (std::size_t start = 0; start <= item.size();) {
        const std::size_t slash = std::min(item.find('/', start), item.size());
        const std::string_view step = item.substr(start, slash - start);
        start = slash + 1;
        if (step.empty() || step == ".")
            continue;
        if (step == "..")
            return nullptr;
        path += (path.empty() ? "" : "/") + std::string(step);
    }
    if (path.empty())
        return item.empty() ? nullptr : form_.tree().find("ROOT");
    return form_.tree().find(webUrl() + "/" + path);
}

void LoadedWindow::forEachItemPath(const std::function<void(std::string_view)>& visit) const {
    form_.tree().forEachInTreeOrder([&](const host::Node& node, std::size_t) {
        if (node.parent() != nullptr)
            visit(relativePath(node));
    });
}

std::string LoadedWindow::relativePath(const host::Node& node) const {
    if (node.parent() == nullptr)
        return ".";
    return std::string(node.key().substr(webUrl().size() + 1));
}

bool LoadedWindow::isHomePage(const host::Node& node) {
    return node.parent() != nullptr && homePageUrl_ && node.key() == *homePageUrl_;
}

std::optional<bool> LoadedWindow::ownMark(const host::Node& node) {
    try {
        auto web = disk_->activeWeb();
        auto item = web->locate(form_.GetNodeUrl(node));
        if (!item)
            return std::nullopt;
        return readsAsMarked(item->properties()->item(webtree::MarkProperty), isHomePage(node));
    } catch (const host::Failure&) {
        return std::nullopt;
    }
}

} // namespace app
