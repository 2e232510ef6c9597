#pragma once

#include "host/GlobalApplication.h"
#include "host/WindowServices.h"
#include "window/frmMain.h"

#include <memory>

namespace addin {

// What the add-in holds as a whole while its server is loaded: the global application object and the
// one shared publishing window, each created on first use.
class AddinModule {
  public:
    AddinModule(host::GlobalApplication::Factory createApplication, host::WindowServices& services)
        : app_(std::move(createApplication)), services_(services) {}
    AddinModule(host::Application& existing, host::WindowServices& services)
        : app_(existing), services_(services) {}

    host::GlobalApplication& globalApplication() { return app_; }
    host::WindowServices& services() { return services_; }

    window::frmMain& mainWindow() {
        if (!window_)
            window_ = std::make_unique<window::frmMain>(app_, services_);
        return *window_;
    }
    window::frmMain* existingMainWindow() { return window_.get(); }

  private:
    host::GlobalApplication app_;
    host::WindowServices& services_;
    std::unique_ptr<window::frmMain> window_;
};

} // namespace addin
