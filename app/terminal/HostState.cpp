#include "app/terminal/HostState.h"

#include "host/Failure.h"

namespace terminal {

HostState::HostState() : bars_(host::memory::MemoryCommandBars::withEditorMenus()) {}

void HostState::openWeb(const std::filesystem::path& path) {
    // Its failures already say which web could not be opened and why.
    auto opened = std::make_unique<host::disk::DiskApplication>(path, warnings_);
    web_ = std::move(opened);
}

std::string HostState::takeWarnings() {
    std::string text = warnings_.str();
    warnings_.str({});
    warnings_.clear();
    return text;
}

std::unique_ptr<host::Web> HostApplication::activeWeb() {
    auto* web = state_.web();
    return web != nullptr ? web->activeWeb() : nullptr;
}

std::string HostApplication::relativeUrl(host::Folder& base, std::string_view url) {
    auto* web = state_.web();
    if (web == nullptr)
        throw host::Failure(host::status::NoObject, "no web is open");
    return web->relativeUrl(base, url);
}

} // namespace terminal
