#pragma once

#include "host/WebModel.h"

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A web held in memory, for tests and benchmarks. It records every port call in order, can make chosen
// calls fail, and counts the host objects alive so tests can see that nothing outlives its step.
namespace host::memory {

struct MemoryItem {
    bool isFolder = false;
    std::string url;
    std::string extension; // files only
    // Looked up by name without building a string for each lookup.
    std::map<std::string, Value, std::less<>> properties; // committed
    std::map<std::string, std::optional<Value>, std::less<>>
        pending;                                      // set (a value) or removed (none), not yet applied
    std::vector<std::unique_ptr<MemoryItem>> folders; // in the host's order
    std::vector<std::unique_ptr<MemoryItem>> files;   // in the host's order
    std::size_t applyCount = 0;
    bool hiddenFromLocate = false; // locate answers "none" for it

    bool marked() const; // the committed mark reads as the text "True"
};

class MemoryWeb {
  public:
    // url: the web's URL, for example "http://server/site" or "C:\\Webs\\site".
    explicit MemoryWeb(std::string url);
    ~MemoryWeb();

    const std::string& url() const { return url_; }
    MemoryItem& root() { return *root_; }

    // Paths are below the web with "/" between names; parent folders must exist. Items keep the order in
    // which they are added. A file's extension is the text after the last "." of its name.
    MemoryItem& addFolder(std::string_view path);
    MemoryItem& addFile(std::string_view path);
    // Sets the mark as the add-in writes it (Boolean True), or any other raw value.
    MemoryItem& addMarkedFile(std::string_view path);
    void setHomePage(std::optional<std::string> path);
    const std::optional<std::string>& homePageUrl() const { return homePage_; }

    // The item at a path below the web ("" is the root folder), or null.
    MemoryItem* find(std::string_view path);
    MemoryItem& at(std::string_view path); // throws std::out_of_range
    // The item whose URL equals the location once "\" is read as "/", or null.
    MemoryItem* findByLocation(std::string_view location);

    // --- fault injection -------------------------------------------------------------------------
    // Operations are named "Object.operation": Application.activeWeb, Application.relativeUrl, Web.url,
    // Web.rootFolder, Web.homePageUrl, Web.locate, Folder.url, Folder.folders, Folder.files,
    // Folder.properties, File.url, File.extension, File.properties, Properties.item, Properties.set,
    // Properties.remove, Properties.apply. The subject is the URL of the object the call is made on
    // (for Web.locate: the location asked for).
    void failOperation(std::string operation, std::optional<std::string> subject = std::nullopt);
    // The n-th port call from now on (1 = the next one) fails.
    void failNthCall(std::size_t n);
    void clearFaults();

    // --- observation -----------------------------------------------------------------------------
    // Every call in order, as "Operation subject" (set also names the value). Writes only: see writes().
    const std::vector<std::string>& calls() const { return calls_; }
    // Recording is on from the start; a benchmark turns it off to time the walk rather than the log.
    void setRecording(bool on) { recording_ = on; }
    std::vector<std::string> writes() const; // Properties.set/remove/apply entries only
    void clearCalls() { calls_.clear(); }
    std::size_t liveObjects() const { return liveObjects_; }

    // Used by the port objects: records the call and throws the injected failure, if any.
    void enter(std::string_view operation, std::string_view subject, std::string_view detail = {});
    void objectCreated() { ++liveObjects_; }
    void objectDestroyed() { --liveObjects_; }

  private:
    struct Fault {
        std::string operation;
        std::optional<std::string> subject;
    };
    MemoryItem& addItem(std::string_view path, bool isFolder);

    std::string url_;
    std::unique_ptr<MemoryItem> root_;
    // Every item but the root by its path below the web: a look-up costs the same at any depth.
    std::unordered_map<std::string_view, MemoryItem*> byPath_;
    std::optional<std::string> homePage_;
    std::vector<Fault> faults_;
    std::size_t callsUntilFailure_ = 0; // 0: no counted failure pending
    std::vector<std::string> calls_;
    bool recording_ = true;
    std::size_t liveObjects_ = 0;
};

class MemoryCommandBars;

// The host application over a memory web; the web can be opened and closed as in the editor.
class MemoryApplication : public Application {
  public:
    explicit MemoryApplication(MemoryWeb* web = nullptr, MemoryCommandBars* bars = nullptr)
        : web_(web), bars_(bars) {}
    void openWeb(MemoryWeb* web) { web_ = web; }
    void closeWeb() { web_ = nullptr; }
    std::size_t activeWebCalls() const { return activeWebCalls_; }

    std::unique_ptr<Web> activeWeb() override;
    std::string relativeUrl(Folder& base, std::string_view url) override;
    std::unique_ptr<CommandBars> commandBars() override;

  private:
    MemoryWeb* web_;
    MemoryCommandBars* bars_;
    std::size_t activeWebCalls_ = 0;
};

} // namespace host::memory
