#include "host/memory/MemoryWeb.h"

#include "host/Failure.h"
#include "host/memory/MemoryCommandBars.h"

#include <algorithm>
#include <stdexcept>

namespace host::memory {
namespace {

std::string slashed(std::string_view s) {
    std::string out(s);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

// Every port object counts itself alive on the web for as long as it exists.
class Counted {
  public:
    explicit Counted(MemoryWeb& web) : web_(web) { web_.objectCreated(); }
    ~Counted() { web_.objectDestroyed(); }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;

  protected:
    MemoryWeb& web_;
};

class MemoryProperties final : public Properties, Counted {
  public:
    MemoryProperties(MemoryWeb& web, MemoryItem& item) : Counted(web), item_(item) {}

    Value item(std::string_view name) override {
        web_.enter("Properties.item", item_.url, name);
        auto it = item_.properties.find(name);
        return it == item_.properties.end() ? Value::empty() : it->second;
    }
    void set(std::string_view name, const Value& value) override {
        web_.enter("Properties.set", item_.url, std::string(name) + "=" + describe(value));
        item_.pending.insert_or_assign(std::string(name), value);
    }
    void remove(std::string_view name) override {
        web_.enter("Properties.remove", item_.url, name);
        auto pending = item_.pending.find(name);
        const bool present = pending != item_.pending.end()
                                 ? pending->second.has_value()
                                 : item_.properties.find(name) != item_.properties.end();
        if (!present)
            throw Failure(status::InvalidArg, "no property '" + std::string(name) + "' on " + item_.url);
        item_.pending.insert_or_assign(std::string(name), std::nullopt);
    }
    void apply() override {
        web_.enter("Properties.apply", item_.url);
        for (auto& [name, value] : item_.pending) {
            if (value)
                item_.properties[name] = *value;
            else
                item_.properties.erase(name);
        }
        item_.pending.clear();
        ++item_.applyCount;
    }

  private:
    MemoryItem& item_;
};

class MemoryFile final : public File, Counted {
  public:
    MemoryFile(MemoryWeb& web, MemoryItem& item) : Counted(web), item_(item) {}
    std::string url() override {
        web_.enter("File.url", item_.url);
        return item_.url;
    }
    std::string extension() override {
        web_.enter("File.extension", item_.url);
        return item_.extension;
    }
    std::unique_ptr<Properties> properties() override {
        web_.enter("File.properties", item_.url);
        return std::make_unique<MemoryProperties>(web_, item_);
    }

  private:
    MemoryItem& item_;
};

class MemoryFolder final : public Folder, Counted {
  public:
    MemoryFolder(MemoryWeb& web, MemoryItem& item) : Counted(web), item_(item) {}
    std::string url() override {
        web_.enter("Folder.url", item_.url);
        return item_.url;
    }
    std::unique_ptr<Properties> properties() override {
        web_.enter("Folder.properties", item_.url);
        return std::make_unique<MemoryProperties>(web_, item_);
    }
    std::vector<std::unique_ptr<Folder>> folders() override {
        web_.enter("Folder.folders", item_.url);
        std::vector<std::unique_ptr<Folder>> out;
        for (auto& f : item_.folders)
            out.push_back(std::make_unique<MemoryFolder>(web_, *f));
        return out;
    }
    std::vector<std::unique_ptr<File>> files() override {
        web_.enter("Folder.files", item_.url);
        std::vector<std::unique_ptr<File>> out;
        for (auto& f : item_.files)
            out.push_back(std::make_unique<MemoryFile>(web_, *f));
        return out;
    }

  private:
    MemoryItem& item_;
};

class MemoryWebObject final : public Web, Counted {
  public:
    explicit MemoryWebObject(MemoryWeb& web) : Counted(web) {}
    std::string url() override {
        web_.enter("Web.url", web_.url());
        return web_.url();
    }
    std::unique_ptr<Folder> rootFolder() override {
        web_.enter("Web.rootFolder", web_.url());
        return std::make_unique<MemoryFolder>(web_, web_.root());
    }
    std::optional<std::string> homePageUrl() override {
        web_.enter("Web.homePageUrl", web_.url());
        return web_.homePageUrl();
    }
    std::unique_ptr<Item> locate(std::string_view location) override {
        web_.enter("Web.locate", location);
        MemoryItem* item = web_.findByLocation(location);
        if (item == nullptr || item->hiddenFromLocate)
            return nullptr;
        if (item->isFolder)
            return std::make_unique<MemoryFolder>(web_, *item);
        return std::make_unique<MemoryFile>(web_, *item);
    }
};

} // namespace

bool MemoryItem::marked() const {
    auto it = properties.find("vti_donotpublish");
    return it != properties.end() && it->second.textEquals("True");
}

MemoryWeb::MemoryWeb(std::string url) : url_(std::move(url)), root_(std::make_unique<MemoryItem>()) {
    root_->isFolder = true;
    root_->url = url_;
}

MemoryWeb::~MemoryWeb() {
    // Taken apart from a list: each folder destroying its own folders would need a frame per level.
    std::vector<std::unique_ptr<MemoryItem>> left;
    left.push_back(std::move(root_));
    while (!left.empty()) {
        std::unique_ptr<MemoryItem> item = std::move(left.back());
        left.pop_back();
        for (auto& folder : item->folders)
            left.push_back(std::move(folder));
    }
}

MemoryItem* MemoryWeb::find(std::string_view path) {
    if (path.empty())
        return root_.get();
    const auto found = byPath_.find(path);
    return found != byPath_.end() ? found->second : nullptr;
}

MemoryItem& MemoryWeb::at(std::string_view path) {
    MemoryItem* item = find(path);
    if (item == nullptr)
        throw std::out_of_range("memory web: no item '" + std::string(path) + "'");
    return *item;
}

MemoryItem* MemoryWeb::findByLocation(std::string_view location) {
    const std::string wanted = slashed(location);
    const std::string base = slashed(url_);
    if (wanted == base)
        return root_.get();
    if (wanted.size() <= base.size() || wanted.compare(0, base.size(), base) != 0 ||
        wanted[base.size()] != '/')
        return nullptr;
    return find(std::string_view(wanted).substr(base.size() + 1));
}

MemoryItem& MemoryWeb::addItem(std::string_view path, bool isFolder) {
    const auto slash = path.rfind('/');
    const std::string_view parentPath =
        slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    MemoryItem& parent = at(parentPath);
    auto item = std::make_unique<MemoryItem>();
    item->isFolder = isFolder;
    item->url = parent.url + "/" + std::string(name);
    if (!isFolder) {
        const auto dot = name.rfind('.');
        item->extension = dot == std::string_view::npos ? "" : std::string(name.substr(dot + 1));
    }
    // Keyed by a view of the item's own URL, which neither moves nor changes.
    byPath_.emplace(std::string_view(item->url).substr(url_.size() + 1), item.get());
    auto& list = isFolder ? parent.folders : parent.files;
    list.push_back(std::move(item));
    return *list.back();
}

MemoryItem& MemoryWeb::addFolder(std::string_view path) {
    return addItem(path, true);
}

MemoryItem& MemoryWeb::addFile(std::string_view path) {
    return addItem(path, false);
}

MemoryItem& MemoryWeb::addMarkedFile(std::string_view path) {
    MemoryItem& item = addFile(path);
    item.properties["vti_donotpublish"] = Value::boolean(true);
    return item;
}

void MemoryWeb::setHomePage(std::optional<std::string> path) {
    homePage_ = path ? std::optional<std::string>(url_ + "/" + *path) : std::nullopt;
}

void MemoryWeb::failOperation(std::string operation, std::optional<std::string> subject) {
    faults_.push_back({std::move(operation), std::move(subject)});
}

void MemoryWeb::failNthCall(std::size_t n) {
    callsUntilFailure_ = n;
}

void MemoryWeb::clearFaults() {
    faults_.clear();
    callsUntilFailure_ = 0;
}

std::vector<std::string> MemoryWeb::writes() const {
    std::vector<std::string> out;
    std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(out), [](const std::string& c) {
        return c.rfind("Properties.set", 0) == 0 || c.rfind("Properties.remove", 0) == 0 ||
               c.rfind("Properties.apply", 0) == 0;
    });
    return out;
}

void MemoryWeb::enter(std::string_view operation, std::string_view subject, std::string_view detail) {
    const auto entry = [&] {
        std::string text = std::string(operation) + " " + std::string(subject);
        if (!detail.empty())
            text += " " + std::string(detail);
        return text;
    };
    if (recording_)
        calls_.push_back(entry());

    if (callsUntilFailure_ != 0 && --callsUntilFailure_ == 0)
        throw Failure(status::Injected, "injected failure of " + entry());
    for (const auto& fault : faults_) {
        if (fault.operation == operation && (!fault.subject || *fault.subject == subject))
            throw Failure(status::Injected, "injected failure of " + entry());
    }
}

std::unique_ptr<Web> MemoryApplication::activeWeb() {
    ++activeWebCalls_;
    if (web_ == nullptr)
        return nullptr;
    web_->enter("Application.activeWeb", web_->url());
    return std::make_unique<MemoryWebObject>(*web_);
}

std::string MemoryApplication::relativeUrl(Folder& base, std::string_view url) {
    const std::string baseUrl = base.url();
    if (web_ != nullptr)
        web_->enter("Application.relativeUrl", url);
    if (url.size() > baseUrl.size() + 1 && url.compare(0, baseUrl.size(), baseUrl) == 0 &&
        url[baseUrl.size()] == '/')
        return std::string(url.substr(baseUrl.size() + 1));
    return std::string(url);
}

} // namespace host::memory

namespace host::memory {

std::unique_ptr<CommandBars> MemoryApplication::commandBars() {
    if (bars_ == nullptr)
        return Application::commandBars();
    return bars_->commandBars();
}

} // namespace host::memory
