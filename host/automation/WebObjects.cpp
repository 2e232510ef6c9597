#include "host/automation/WebObjects.h"

#include "host/automation/CommandBarObjects.h"
#include "host/automation/Dispatch.h"

namespace host::automation {
namespace {

class AutomationProperties final : public Properties {
  public:
    explicit AutomationProperties(ComPtr<IDispatch> p) : p_(std::move(p), "Properties") {}

    Value item(std::string_view name) override {
        std::vector<Variant> args;
        args.push_back(Variant::text(wide(name)));
        Variant v = p_.get(L"Item", std::move(args));
        return toValue(v.get());
    }
    void set(std::string_view name, const Value& value) override {
        std::vector<Variant> args;
        args.push_back(Variant::text(wide(name)));
        args.push_back(toVariant(value));
        p_.call(L"Add", std::move(args));
    }
    void remove(std::string_view name) override {
        std::vector<Variant> args;
        args.push_back(Variant::text(wide(name)));
        p_.call(L"Delete", std::move(args));
    }
    void apply() override { p_.call(L"ApplyChanges"); }

  private:
    DispatchObject p_;
};

class AutomationFile final : public File {
  public:
    explicit AutomationFile(ComPtr<IDispatch> f) : f_(std::move(f), "WebFile") {}

    std::string url() override { return f_.text(L"Url"); }
    std::unique_ptr<Properties> properties() override {
        return std::make_unique<AutomationProperties>(f_.requiredObject(L"Properties"));
    }
    std::string extension() override { return f_.text(L"Extension"); }

  private:
    DispatchObject f_;
};

class AutomationFolder final : public Folder {
  public:
    explicit AutomationFolder(ComPtr<IDispatch> f) : f_(std::move(f), "WebFolder") {}

    IDispatch* dispatch() const { return f_.get(); }

    std::string url() override { return f_.text(L"Url"); }
    std::unique_ptr<Properties> properties() override {
        return std::make_unique<AutomationProperties>(f_.requiredObject(L"Properties"));
    }
    std::vector<std::unique_ptr<Folder>> folders() override {
        DispatchObject collection(f_.requiredObject(L"Folders"), "WebFolders");
        std::vector<std::unique_ptr<Folder>> out;
        for (auto& item : zeroBasedItems(collection))
            out.push_back(std::make_unique<AutomationFolder>(std::move(item)));
        return out;
    }
    std::vector<std::unique_ptr<File>> files() override {
        DispatchObject collection(f_.requiredObject(L"Files"), "WebFiles");
        std::vector<std::unique_ptr<File>> out;
        for (auto& item : zeroBasedItems(collection))
            out.push_back(std::make_unique<AutomationFile>(std::move(item)));
        return out;
    }

  private:
    DispatchObject f_;
};

class AutomationWeb final : public Web {
  public:
    explicit AutomationWeb(ComPtr<IDispatch> w) : w_(std::move(w), "Web") {}

    std::string url() override { return w_.text(L"Url"); }
    std::unique_ptr<Folder> rootFolder() override {
        return std::make_unique<AutomationFolder>(w_.requiredObject(L"RootFolder"));
    }
    std::optional<std::string> homePageUrl() override {
        ComPtr<IDispatch> node = w_.object(L"HomeNavigationNode");
        if (!node)
            return std::nullopt;
        return DispatchObject(std::move(node), "NavigationNode").text(L"Url");
    }
    // The editor locates files and folders separately; whichever finds the location answers.
    std::unique_ptr<Item> locate(std::string_view location) override {
        if (ComPtr<IDispatch> file = w_.object(L"LocateFile", urlArgument(location)))
            return std::make_unique<AutomationFile>(std::move(file));
        if (ComPtr<IDispatch> folder = w_.object(L"LocateFolder", urlArgument(location)))
            return std::make_unique<AutomationFolder>(std::move(folder));
        return nullptr;
    }

  private:
    static std::vector<Variant> urlArgument(std::string_view location) {
        std::vector<Variant> args;
        args.push_back(Variant::text(wide(location)));
        return args;
    }
    DispatchObject w_;
};

class AutomationApplication final : public Application {
  public:
    explicit AutomationApplication(ComPtr<IDispatch> a) : a_(std::move(a), "Application") {}

    IDispatch* dispatch() const { return a_.get(); }

    std::unique_ptr<CommandBars> commandBars() override {
        return makeCommandBars(a_.requiredObject(L"CommandBars"));
    }
    std::unique_ptr<Web> activeWeb() override {
        ComPtr<IDispatch> web = a_.object(L"ActiveWeb");
        if (!web)
            return nullptr;
        return std::make_unique<AutomationWeb>(std::move(web));
    }
    std::string relativeUrl(Folder& base, std::string_view url) override {
        // MakeRel takes the base as a VARIANT: here the folder object itself.
        auto* folder = dynamic_cast<AutomationFolder*>(&base);
        if (folder == nullptr)
            throw Failure(status::InvalidArg, "Application.MakeRel: the base folder is not the editor's");
        std::vector<Variant> args;
        args.push_back(Variant::dispatch(folder->dispatch()));
        args.push_back(Variant::text(wide(url)));
        Variant rel = a_.call(L"MakeRel", std::move(args));
        return toValue(rel.get()).toText();
    }

  private:
    DispatchObject a_;
};

} // namespace

std::unique_ptr<Application> makeApplication(ComPtr<IDispatch> application) {
    return std::make_unique<AutomationApplication>(std::move(application));
}

ComPtr<IDispatch> dispatchOf(Application& application) {
    ComPtr<IDispatch> out;
    if (auto* adapter = dynamic_cast<AutomationApplication*>(&application))
        out = adapter->dispatch();
    return out;
}

} // namespace host::automation
