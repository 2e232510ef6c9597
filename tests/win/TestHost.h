#pragma once

// A stand-in for the editor built from HostObject: its Application (also answering the editor's
// _Application interface and registered as the editor's Application class), a small web, and command
// bars with a "Menu Bar" whose "&Tools" popup the add-in extends. Names of command bars and controls
// resolve as the editor resolves them: letter case and "&" are ignored, and a name may be only the
// beginning of a caption.

#include "HostObject.h"

#include <map>
#include <memory>
#include <ocidl.h>
#include <olectl.h>
#include <unordered_map>

namespace testhost {

// {04DF1014-7007-11D1-83BC-006097ABE675}
inline constexpr IID IID_HostApplicationInterface = {
    0x04DF1014, 0x7007, 0x11D1, {0x83, 0xBC, 0x00, 0x60, 0x97, 0xAB, 0xE6, 0x75}};
// {04DF1015-7007-11D1-83BC-006097ABE675}
inline constexpr CLSID CLSID_HostApplication = {
    0x04DF1015, 0x7007, 0x11D1, {0x83, 0xBC, 0x00, 0x60, 0x97, 0xAB, 0xE6, 0x75}};
// {000C0351-0000-0000-C000-000000000046}
inline constexpr IID DIID_ButtonEvents = {0x000C0351, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class Properties final : public HostObject {
  public:
    Properties();
    std::map<std::wstring, Variant> values;
    int applied = 0;
};

class File final : public HostObject {
  public:
    File(std::wstring url, std::wstring extension);
    std::wstring url, extension;
    ComPtr<Properties> properties;
};

class Folder final : public HostObject {
  public:
    explicit Folder(std::wstring url);
    std::wstring url;
    std::vector<ComPtr<Folder>> folders;
    std::vector<ComPtr<File>> files;
    ComPtr<Properties> properties;
    // Counts of collection objects handed out.
    int filesAsked = 0, foldersAsked = 0;
};

class Web final : public HostObject {
  public:
    explicit Web(std::wstring url);
    std::wstring url;
    ComPtr<Folder> root;
    std::wstring homePage; // "" when the web has no home page
    Folder& addFolder(Folder& parent, const std::wstring& name);
    File& addFile(Folder& parent, const std::wstring& name, const std::wstring& extension);
    Folder* folderAt(std::wstring_view url);
    File* fileAt(std::wstring_view url);

  private:
    // By URL: the window locates every item it marks, and a large web has tens of thousands.
    std::unordered_map<std::wstring, Folder*> allFolders_;
    std::unordered_map<std::wstring, File*> allFiles_;
};

class Control final : public HostObjectWith<IConnectionPointContainer, IConnectionPoint> {
  public:
    Control(int controlType, std::wstring controlCaption, Control* parentControl);

    int type;
    std::wstring caption, tag, parameter;
    bool deleted = false;
    std::vector<ComPtr<Control>> children;
    Control* parent;
    Args addArgs; // Type, Id, Parameter, Before, Temporary as Controls.Add received them

    Control& add(int controlType, std::wstring controlCaption);
    // The live child a name resolves to, or null.
    Control* child(std::wstring_view name);
    std::size_t sinkCount() const { return sinks_.size(); }
    // The user presses the button: every advised sink's Click, with CancelDefault left as it returns.
    std::vector<HRESULT> click(VARIANT_BOOL* cancelDefault = nullptr);

    // Only a button has click events: other controls refuse the container.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (type != 1 && IsEqualIID(iid, IID_IConnectionPointContainer)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return HostObjectWith::QueryInterface(iid, out);
    }

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

  private:
    std::map<DWORD, ComPtr<IDispatch>> sinks_;
    DWORD nextCookie_ = 1;
};

class CommandBars final : public HostObject {
  public:
    CommandBars();
    std::vector<ComPtr<Control>> bars;
    Control& menuBar() { return *bars.front().Get(); }
    Control& tools() { return *menuBar().child(L"Tools"); }
};

class Application final : public HostObject {
  public:
    Application();
    ComPtr<Web> activeWeb; // null: no web is open
    ComPtr<CommandBars> commandBars;
    // What MakeRel was last given as its base.
    IDispatch* lastMakeRelBase = nullptr;
};

// A small web: /web with index.htm (the home page), images/logo.gif, private/notes.txt.
ComPtr<Web> sampleWeb();

// A web with marked and unmarked items, for the publishing window:
//   images/ logo.gif, banner.jpg (marked), icons/arrow.gif;
//   private/ (every file marked) notes.txt, draft.htm;
//   empty/; index.htm (the home page), about.htm, style.css.
ComPtr<Web> publishingWeb();
// Writes the publish mark as the editor keeps it: boolean True.
void markItem(Properties& properties);
bool isMarked(const Properties& properties);

// The editor's Application class, answered with `application` while registered.
class ApplicationClass {
  public:
    explicit ApplicationClass(ComPtr<Application> application);
    ~ApplicationClass();
    ApplicationClass(const ApplicationClass&) = delete;
    ApplicationClass& operator=(const ApplicationClass&) = delete;

  private:
    ComPtr<IClassFactory> factory_;
    DWORD cookie_ = 0;
};

} // namespace testhost
