#include "app/cli/LoadedWindow.h"

#include "app/publishing/Deployment.h"
#include "host/Failure.h"
#include "webtree/FileImage.h"

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

host::Node* LoadedWindow::nodeFor(std::string item) const {
    while (item.size() > 1 && item.back() == '/')
        item.pop_back();
    if (item == "." || item == "./")
        return form_.tree().find("ROOT");
    if (item.starts_with("./"))
        item.erase(0, 2);
    if (item.empty())
        return nullptr;
    return form_.tree().find(webUrl() + "/" + item);
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
