#pragma once

#include "host/WebModel.h"

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

// The host ports over a web that is a plain folder on disk, with the properties kept in the editor's own
// metadata files, so the add-in can run against a real site without the editor.
namespace host::disk {

struct WebState; // shared by every object handed out for the web, so pending changes outlive them

class DiskApplication : public host::Application {
  public:
    // Opens the web at webPath. Throws host::Failure when it cannot be opened: missing, not a folder,
    // unreadable, the root of the file system, or a resolved path holding "\" or a control character.
    // warnings: where names left out of the web are reported, once per name; it must outlive this object.
    DiskApplication(const std::filesystem::path& webPath, std::ostream& warnings);
    ~DiskApplication() override;

    std::unique_ptr<host::Web> activeWeb() override; // a fresh Web object each call
    // Fails when the URL is not strictly below the base folder.
    std::string relativeUrl(host::Folder& base, std::string_view url) override;
    const std::filesystem::path& webPath() const; // resolved, without a trailing slash

  private:
    std::shared_ptr<WebState> state_;
};

} // namespace host::disk
