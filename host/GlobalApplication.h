#pragma once

#include "host/WebModel.h"

#include <functional>
#include <memory>

namespace host {

// The add-in's own application object: created through the host library on first use and kept until
// the add-in is unloaded. The window, the launch command and the disconnection use it.
class GlobalApplication {
  public:
    using Factory = std::function<std::unique_ptr<Application>()>;

    explicit GlobalApplication(Factory create) : create_(std::move(create)) {}
    // An application that already exists and outlives this object (tests, the Linux hosts).
    explicit GlobalApplication(Application& existing) : existing_(&existing) {}

    // Creates the object on first use; a failing creation throws and is tried again on the next use.
    Application& get() {
        if (existing_ != nullptr)
            return *existing_;
        if (!owned_)
            owned_ = create_();
        return *owned_;
    }
    bool created() const { return existing_ != nullptr || owned_ != nullptr; }

  private:
    Factory create_;
    Application* existing_ = nullptr;
    std::unique_ptr<Application> owned_;
};

} // namespace host
