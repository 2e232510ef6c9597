#pragma once

#include "host/WebModel.h"
#include "host/disk/DiskWeb.h"
#include "host/memory/MemoryCommandBars.h"

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

// What the terminal host holds while it runs: its menus and the web open in it, if any. The add-in sees
// both through HostApplication objects, so a web opened or closed in the host is the add-in's web too.
namespace terminal {

class HostState {
  public:
    HostState();
    HostState(const HostState&) = delete;
    HostState& operator=(const HostState&) = delete;

    host::memory::MemoryCommandBars& bars() { return *bars_; }

    // The web open in the host, or null.
    host::disk::DiskApplication* web() { return web_.get(); }
    // Opens the web at `path` in place of the open one. Throws host::Failure when it cannot be opened,
    // and then the web that was open stays open.
    void openWeb(const std::filesystem::path& path);
    void closeWeb() { web_.reset(); }

    // What the disk web reported since the last call (names it left out), one line each.
    std::string takeWarnings();

  private:
    std::unique_ptr<host::memory::MemoryCommandBars> bars_;
    std::ostringstream warnings_; // the disk webs write here for as long as they live
    std::unique_ptr<host::disk::DiskApplication> web_;
};

// The host application object the add-in is given.
class HostApplication final : public host::Application {
  public:
    explicit HostApplication(HostState& state) : state_(state) {}

    std::unique_ptr<host::CommandBars> commandBars() override { return state_.bars().commandBars(); }
    std::unique_ptr<host::Web> activeWeb() override;
    std::string relativeUrl(host::Folder& base, std::string_view url) override;

  private:
    HostState& state_;
};

} // namespace terminal
