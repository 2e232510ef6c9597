#pragma once

#include "host/GlobalApplication.h"
#include "host/WindowServices.h"
#include "host/disk/DiskWeb.h"
#include "window/frmMain.h"

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

namespace disktest {

// The publishing window loaded on a web on disk, without a screen, as the command-line tools drive it:
// its pop-up menu always chooses "Don't Publish".
class LoadedWeb {
  public:
    // lock: take the web's write lock before filling, as every command that writes does.
    LoadedWeb(const std::filesystem::path& path, std::ostream& warnings, bool lock)
        : app_(std::make_unique<host::disk::DiskApplication>(path, warnings)) {
        if (lock)
            lock_ = app_->lockForWriting(true);
        form_.setVisible(true);
    }

    host::disk::DiskApplication& app() { return *app_; }
    host::TreeModel& tree() { return form_.tree(); }

    // Chooses "Don't Publish" on the item at a path below the web, as a right-click does.
    void toggle(const std::string& rel) {
        host::Node* node = tree().find(app_->webPath().string() + "/" + rel);
        if (node == nullptr)
            throw std::runtime_error("no node for " + rel);
        tree().select(node);
        form_.tvwWeb_MouseUp(2, 0, 0, 0);
    }
    void commit() {
        if (lock_)
            lock_->commit();
    }

  private:
    class Headless final : public host::WindowServices {
      public:
        void show() override {}
        void hide() override {}
        bool popUpMenu(bool, float, float) override { return true; }
        void messageBox(const std::string&, const std::string&, int) override {}
    };

    std::unique_ptr<host::disk::DiskApplication> app_;
    std::unique_ptr<host::disk::WriteLock> lock_;
    host::GlobalApplication global_{*app_};
    Headless services_;
    window::frmMain form_{global_, services_};
};

} // namespace disktest
