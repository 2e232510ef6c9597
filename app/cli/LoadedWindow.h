#pragma once

#include "app/cli/MarkJournal.h"
#include "host/GlobalApplication.h"
#include "host/WindowServices.h"
#include "host/disk/DiskWeb.h"
#include "window/frmMain.h"

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace app {

// The window without a screen: it is never drawn, and its pop-up menu always chooses "Don't Publish".
class HeadlessWindow final : public host::WindowServices {
  public:
    void show() override {}
    void hide() override {}
    bool popUpMenu(bool /*checked*/, float /*x*/, float /*y*/) override { return true; }
    void messageBox(const std::string& /*text*/, const std::string& /*title*/, int /*style*/) override {}
};

// The disk web with the publishing window loaded on it, as the editor would show it. Marks go through a
// journal, so a command can tell what it changed; with dryRun they go no further.
class LoadedWindow {
  public:
    // A command that changes marks holds the web's write lock from before it reads them (Write waits for
    // another writer, saying so after a second; WriteWithoutWaiting fails at once).
    enum class Access { Read, Write, WriteWithoutWaiting };
    LoadedWindow(const std::string& webPath, std::ostream& warnings, bool dryRun = false,
                 Access access = Access::Read);

    // Makes every change durable and releases the lock.
    void commit();

    window::frmMain& form() { return form_; }
    const host::TreeModel& tree() const { return form_.tree(); }
    MarkJournal& journal() { return journal_; }
    const std::filesystem::path& webFolder() const { return disk_->webPath(); }
    const host::disk::DiskApplication& disk() const { return *disk_; }
    host::disk::DiskApplication& disk() { return *disk_; }

    std::string webUrl() const;
    // The node of an item given by its path below the web ("." for the web), or else by a path from the
    // current folder or an absolute one that leads into the web; null for none.
    host::Node* nodeFor(const std::string& item) const;
    // Every item's path below the web, in tree order, the web itself left out.
    void forEachItemPath(const std::function<void(std::string_view)>& visit) const;
    // The item's path below the web, "/" between names; "." for the web.
    std::string relativePath(const host::Node& node) const;
    bool isHomePage(const host::Node& node);
    // The item's own mark as the window reads it; none when it cannot be read.
    std::optional<bool> ownMark(const host::Node& node);

  private:
    host::Node* nodeBelowWeb(std::string_view item) const;

    std::unique_ptr<host::disk::DiskApplication> disk_;
    std::unique_ptr<host::disk::WriteLock> lock_;
    MarkJournal journal_;
    host::GlobalApplication global_{journal_};
    HeadlessWindow services_;
    window::frmMain form_{global_, services_};
    std::optional<std::string> homePageUrl_;
};

} // namespace app
