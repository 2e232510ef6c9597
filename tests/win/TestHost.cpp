#include "TestHost.h"

#include "host/Failure.h"

#include <algorithm>
#include <cwctype>

namespace testhost {
namespace {

using host::automation::check;

std::wstring normalised(std::wstring_view name) {
    std::wstring out;
    for (wchar_t c : name) {
        if (c != L'&')
            out += static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    return out;
}

HRESULT hostError(int code) {
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, code);
}

// Count and Item(i) counting from `base` over a snapshot of objects.
template <class T>
ComPtr<HostObject> collection(const std::wstring& kind, std::vector<ComPtr<T>> items, long base) {
    auto c = make<HostObject>(kind);
    const long count = static_cast<long>(items.size());
    c->getter(L"Count", [count] { return Variant::int32(count); });
    c->method(L"Item", [items, base](const Args& a) {
        Variant index;
        check(VariantChangeType(index.put(), const_cast<VARIANT*>(&a.at(0).get()), 0, VT_I4), "index");
        const long i = index.get().lVal - base;
        if (i < 0 || i >= static_cast<long>(items.size()))
            throw host::Failure(static_cast<std::int32_t>(DISP_E_BADINDEX), "index out of range");
        return object(items[static_cast<std::size_t>(i)].Get());
    });
    return ComPtr<HostObject>(c);
}

bool given(const Variant& v) {
    return !(v.type() == VT_ERROR && v.get().scode == DISP_E_PARAMNOTFOUND);
}

class ApplicationFactory final : public host::automation::Implements<ApplicationFactory, IClassFactory> {
  public:
    explicit ApplicationFactory(ComPtr<Application> app) : app_(std::move(app)) {}
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        return app_->QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  private:
    ComPtr<Application> app_;
};

} // namespace

Properties::Properties() : HostObject(L"Properties") {
    method(L"Item", [this](const Args& a) {
        auto it = values.find(textOf(a.at(0)));
        return it == values.end() ? Variant() : it->second;
    });
    method(L"Add", [this](const Args& a) {
        values[textOf(a.at(0))] = a.at(1);
        return Variant();
    });
    method(L"Delete", [this](const Args& a) {
        if (values.erase(textOf(a.at(0))) == 0)
            throw host::Failure(static_cast<std::int32_t>(hostError(5)), "no such property");
        return Variant();
    });
    method(L"ApplyChanges", [this](const Args&) {
        ++applied;
        return Variant();
    });
}

File::File(std::wstring fileUrl, std::wstring fileExtension)
    : HostObject(L"WebFile"), url(std::move(fileUrl)), extension(std::move(fileExtension)),
      properties(make<Properties>()) {
    getter(L"Url", [this] { return text(url); });
    getter(L"Extension", [this] { return text(extension); });
    getter(L"Properties", [this] { return object(properties.Get()); });
}

Folder::Folder(std::wstring folderUrl)
    : HostObject(L"WebFolder"), url(std::move(folderUrl)), properties(make<Properties>()) {
    getter(L"Url", [this] { return text(url); });
    getter(L"Properties", [this] { return object(properties.Get()); });
    getter(L"Files", [this] {
        ++filesAsked;
        return object(collection(L"WebFiles", files, 0).Get());
    });
    getter(L"Folders", [this] {
        ++foldersAsked;
        return object(collection(L"WebFolders", folders, 0).Get());
    });
}

Web::Web(std::wstring webUrl) : HostObject(L"Web"), url(std::move(webUrl)), root(make<Folder>(url)) {
    allFolders_.emplace(url, root.Get());
    getter(L"Url", [this] { return text(url); });
    getter(L"RootFolder", [this] { return object(root.Get()); });
    getter(L"HomeNavigationNode", [this] {
        if (homePage.empty())
            return object(nullptr);
        auto node = make<HostObject>(L"NavigationNode");
        const std::wstring home = homePage;
        node->getter(L"Url", [home] { return text(home); });
        return object(node.Get());
    });
    method(L"LocateFile", [this](const Args& a) { return object(fileAt(textOf(a.at(0)))); });
    method(L"LocateFolder", [this](const Args& a) { return object(folderAt(textOf(a.at(0)))); });
}

Folder& Web::addFolder(Folder& parent, const std::wstring& name) {
    parent.folders.push_back(make<Folder>(parent.url + L"/" + name));
    allFolders_.emplace(parent.folders.back()->url, parent.folders.back().Get());
    return *parent.folders.back().Get();
}

File& Web::addFile(Folder& parent, const std::wstring& name, const std::wstring& extension) {
    parent.files.push_back(make<File>(parent.url + L"/" + name, extension));
    allFiles_.emplace(parent.files.back()->url, parent.files.back().Get());
    return *parent.files.back().Get();
}

Folder* Web::folderAt(std::wstring_view at) {
    const auto found = allFolders_.find(std::wstring(at));
    return found != allFolders_.end() ? found->second : nullptr;
}

File* Web::fileAt(std::wstring_view at) {
    const auto found = allFiles_.find(std::wstring(at));
    return found != allFiles_.end() ? found->second : nullptr;
}

Control::Control(int controlType, std::wstring controlCaption, Control* parentControl)
    : HostObjectWith(L"CommandBarControl"), type(controlType), caption(std::move(controlCaption)),
      parent(parentControl) {
    getter(L"Type", [this] { return Variant::int32(type); });
    property(
        L"Caption", [this] { return text(caption); }, [this](const Variant& v) { caption = textOf(v); });
    property(
        L"Tag", [this] { return text(tag); }, [this](const Variant& v) { tag = textOf(v); });
    property(
        L"Parameter", [this] { return text(parameter); },
        [this](const Variant& v) { parameter = textOf(v); });
    getter(L"Controls", [this] {
        if (type != 10 && type != 0)
            throw host::Failure(static_cast<std::int32_t>(hostError(438)),
                                "object doesn't support this property");
        auto controls = make<HostObject>(L"CommandBarControls");
        // Held by the collection, which may outlive every other reference to this control.
        ComPtr<Control> owner(this);
        controls->getter(L"Count",
                         [owner] { return Variant::int32(static_cast<LONG>(owner->children.size())); });
        controls->method(L"Item", [owner](const Args& a) {
            const Variant& index = a.at(0);
            if (index.type() == VT_BSTR) {
                Control* found = owner->child(textOf(index));
                if (found == nullptr)
                    throw host::Failure(static_cast<std::int32_t>(hostError(5)), "no such control");
                return object(found);
            }
            Variant n;
            check(VariantChangeType(n.put(), const_cast<VARIANT*>(&index.get()), 0, VT_I4), "index");
            const long i = n.get().lVal;
            if (i < 1 || i > static_cast<long>(owner->children.size()))
                throw host::Failure(static_cast<std::int32_t>(DISP_E_BADINDEX), "index out of range");
            return object(owner->children[static_cast<std::size_t>(i - 1)].Get());
        });
        controls->method(L"Add", [owner](const Args& a) {
            Variant addedType;
            check(VariantChangeType(addedType.put(), const_cast<VARIANT*>(&a.at(0).get()), 0, VT_I4), "Type");
            if (addedType.get().lVal != 1 && addedType.get().lVal != 10)
                throw host::Failure(static_cast<std::int32_t>(E_INVALIDARG), "unsupported control type");
            auto c = make<Control>(static_cast<int>(addedType.get().lVal), L"", owner.Get());
            c->addArgs = a;
            if (a.size() > 2 && given(a[2]))
                c->parameter = textOf(a[2]);
            auto at = owner->children.end();
            if (a.size() > 3 && given(a[3])) {
                Variant before;
                check(VariantChangeType(before.put(), const_cast<VARIANT*>(&a[3].get()), 0, VT_I4), "Before");
                at = owner->children.begin() + (before.get().lVal - 1);
            }
            owner->children.insert(at, c);
            return object(c.Get());
        });
        return object(controls.Get());
    });
    method(L"Delete", [this](const Args&) {
        deleted = true;
        if (parent != nullptr) {
            auto& siblings = parent->children;
            siblings.erase(std::remove_if(siblings.begin(), siblings.end(),
                                          [this](const ComPtr<Control>& c) { return c.Get() == this; }),
                           siblings.end());
        }
        return Variant();
    });
}

Control& Control::add(int kind, std::wstring text) {
    children.push_back(make<Control>(kind, std::move(text), this));
    return *children.back().Get();
}

Control* Control::child(std::wstring_view name) {
    const std::wstring wanted = normalised(name);
    for (auto& c : children) {
        if (normalised(c->caption) == wanted)
            return c.Get();
    }
    for (auto& c : children) {
        if (!wanted.empty() && normalised(c->caption).starts_with(wanted))
            return c.Get();
    }
    return nullptr;
}

HRESULT Control::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    *point = nullptr;
    if (!IsEqualIID(iid, DIID_ButtonEvents))
        return CONNECT_E_NOCONNECTION;
    *point = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

HRESULT Control::GetConnectionInterface(IID* iid) {
    *iid = DIID_ButtonEvents;
    return S_OK;
}

HRESULT Control::GetConnectionPointContainer(IConnectionPointContainer** container) {
    *container = static_cast<IConnectionPointContainer*>(this);
    AddRef();
    return S_OK;
}

HRESULT Control::Advise(IUnknown* sink, DWORD* cookie) {
    // As Office does: the sink must be the button events' dispinterface.
    ComPtr<IDispatch> events;
    if (sink == nullptr ||
        FAILED(sink->QueryInterface(DIID_ButtonEvents, reinterpret_cast<void**>(events.GetAddressOf()))))
        return CONNECT_E_CANNOTCONNECT;
    *cookie = nextCookie_++;
    sinks_[*cookie] = events;
    return S_OK;
}

HRESULT Control::Unadvise(DWORD cookie) {
    return sinks_.erase(cookie) == 1 ? S_OK : CONNECT_E_NOCONNECTION;
}

std::vector<HRESULT> Control::click(VARIANT_BOOL* cancelDefault) {
    std::vector<ComPtr<IDispatch>> targets;
    for (auto& [cookie, sink] : sinks_)
        targets.push_back(sink);
    std::vector<HRESULT> results;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    for (auto& sink : targets) {
        VARIANT args[2];
        VariantInit(&args[0]);
        VariantInit(&args[1]);
        args[1].vt = VT_DISPATCH;
        args[1].pdispVal = static_cast<IDispatch*>(this);
        args[0].vt = VT_BOOL | VT_BYREF;
        args[0].pboolVal = &cancel;
        DISPPARAMS params{args, nullptr, 2, 0};
        results.push_back(sink->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                                       nullptr, nullptr));
    }
    if (cancelDefault != nullptr)
        *cancelDefault = cancel;
    return results;
}

CommandBars::CommandBars() : HostObject(L"CommandBars") {
    bars.push_back(make<Control>(0, L"Menu Bar", nullptr));
    for (const wchar_t* caption : {L"&File", L"&Edit", L"&View", L"&Tools"})
        bars.front()->add(10, caption);
    method(L"Item", [this](const Args& a) {
        const std::wstring wanted = normalised(textOf(a.at(0)));
        for (auto& bar : bars) {
            if (normalised(bar->caption) == wanted)
                return object(bar.Get());
        }
        throw host::Failure(static_cast<std::int32_t>(hostError(5)), "no such command bar");
    });
}

Application::Application() : HostObject(L"Application"), commandBars(make<CommandBars>()) {
    alsoAnswers(IID_HostApplicationInterface);
    getter(L"ActiveWeb", [this] { return activeWeb ? object(activeWeb.Get()) : Variant(); });
    getter(L"CommandBars", [this] { return object(commandBars.Get()); });
    method(L"MakeRel", [this](const Args& a) {
        if (a.at(0).type() != VT_DISPATCH || a.at(0).get().pdispVal == nullptr)
            throw host::Failure(static_cast<std::int32_t>(DISP_E_TYPEMISMATCH), "UrlBase is not an object");
        lastMakeRelBase = a[0].get().pdispVal;
        const std::wstring url = textOf(a.at(1));
        // The base's own URL, read back through automation as the editor would.
        DISPID id = 0;
        LPOLESTR name = const_cast<LPOLESTR>(L"Url");
        check(lastMakeRelBase->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), "Url");
        DISPPARAMS none{};
        Variant baseUrl;
        check(lastMakeRelBase->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, baseUrl.put(), nullptr,
                                      nullptr),
              "Url");
        const std::wstring base = textOf(baseUrl) + L"/";
        return text(url.starts_with(base) ? url.substr(base.size()) : url);
    });
}

ComPtr<Web> sampleWeb() {
    auto web = make<Web>(L"http://localhost/web");
    web->addFile(*web->root.Get(), L"index.htm", L"htm");
    Folder& images = web->addFolder(*web->root.Get(), L"images");
    web->addFile(images, L"logo.gif", L"gif");
    Folder& secret = web->addFolder(*web->root.Get(), L"private");
    web->addFile(secret, L"notes.txt", L"txt");
    web->homePage = L"http://localhost/web/index.htm";
    return web;
}

void markItem(Properties& properties) {
    properties.values[L"vti_donotpublish"] = Variant::boolean(true);
}

bool isMarked(const Properties& properties) {
    const auto it = properties.values.find(L"vti_donotpublish");
    return it != properties.values.end() && it->second.type() == VT_BOOL &&
           it->second.get().boolVal == VARIANT_TRUE;
}

ComPtr<Web> publishingWeb() {
    auto web = make<Web>(L"http://localhost/web");
    Folder& root = *web->root.Get();
    Folder& images = web->addFolder(root, L"images");
    web->addFile(images, L"logo.gif", L"gif");
    markItem(*web->addFile(images, L"banner.jpg", L"jpg").properties.Get());
    web->addFile(web->addFolder(images, L"icons"), L"arrow.gif", L"gif");
    Folder& secret = web->addFolder(root, L"private");
    markItem(*web->addFile(secret, L"notes.txt", L"txt").properties.Get());
    markItem(*web->addFile(secret, L"draft.htm", L"htm").properties.Get());
    web->addFolder(root, L"empty");
    web->addFile(root, L"index.htm", L"htm");
    web->addFile(root, L"about.htm", L"htm");
    web->addFile(root, L"style.css", L"css");
    web->homePage = L"http://localhost/web/index.htm";
    return web;
}

ApplicationClass::ApplicationClass(ComPtr<Application> application) {
    factory_ = host::automation::adopt<IClassFactory>(new ApplicationFactory(std::move(application)));
    check(CoRegisterClassObject(CLSID_HostApplication, factory_.Get(),
                                CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie_),
          "CoRegisterClassObject");
}

ApplicationClass::~ApplicationClass() {
    CoRevokeClassObject(cookie_);
}

} // namespace testhost
