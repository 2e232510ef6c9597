#include "addin/com/Registration.h"

#include "host/Failure.h"
#include "host/automation/Com.h"

#include <functional>
#include <oleauto.h>
#include <optional>
#include <utility>
#include <wrl/client.h>

namespace addin::com {
namespace {

using host::automation::check;
using host::automation::checkWin32;
using host::automation::UniqueHkey;

constexpr const wchar_t* AddinEntry = L"Varnook3.Connect";
constexpr const wchar_t* FriendlyName = L"Talvo Varnook 3.0";
constexpr const wchar_t* Description = L"Varnook 3.0 FrontPage Add-in";
constexpr DWORD LoadAtStartup = 3; // loaded, and loaded again each time the editor starts
constexpr GUID TypeLibId = {0x812F99B8, 0xA02C, 0x446E, {0x88, 0x84, 0x5F, 0x17, 0x57, 0x0A, 0x54, 0xA0}};
constexpr WORD TypeLibMajor = 1;
constexpr WORD TypeLibMinor = 0;

// Interfaces our type library declares but other libraries own (the editor's, the add-in designer's):
// the platform's type library functions write and delete their keys too, so both are run under a guard
// that puts those keys back as they were.
constexpr const wchar_t* ForeignInterfaces[] = {
    L"{04DF1014-7007-11D1-83BC-006097ABE675}",
    L"{B65AD801-ABAF-11D0-BB8B-00A0C90F2744}",
};
// On a 64-bit system the functions write both registry views.
constexpr REGSAM Views[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

std::string narrowed(std::wstring_view s) {
    return host::automation::narrow(s);
}

bool isAccessDenied(const host::Failure& failure) {
    const auto status = static_cast<HRESULT>(failure.status());
    return status == E_ACCESSDENIED || status == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
}

UniqueHkey createKey(HKEY root, std::wstring_view path) {
    UniqueHkey key;
    checkWin32(RegCreateKeyExW(root, std::wstring(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr),
               "creating registry key " + narrowed(path));
    return key;
}

// Null when the key does not exist.
UniqueHkey openKey(HKEY root, std::wstring_view path, REGSAM access) {
    UniqueHkey key;
    const LONG error = RegOpenKeyExW(root, std::wstring(path).c_str(), 0, access, key.put());
    if (error == ERROR_FILE_NOT_FOUND)
        return UniqueHkey();
    checkWin32(error, "opening registry key " + narrowed(path));
    return key;
}

void setText(HKEY key, const std::wstring& name, std::wstring_view data) {
    const std::wstring text(data);
    checkWin32(RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
               "writing registry value " + narrowed(name));
}

void setNumber(HKEY key, const wchar_t* name, DWORD value) {
    checkWin32(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
               "writing registry value " + narrowed(name));
}

void deleteTree(HKEY root, std::wstring_view path) {
    const LONG error = RegDeleteTreeW(root, std::wstring(path).c_str());
    if (error != ERROR_FILE_NOT_FOUND)
        checkWin32(error, "removing registry key " + narrowed(path));
}

// Undo steps of a registration in progress, run last to first unless the registration completes.
class Rollback {
  public:
    Rollback() = default;
    Rollback(const Rollback&) = delete;
    Rollback& operator=(const Rollback&) = delete;
    ~Rollback() {
        for (auto it = steps_.rbegin(); it != steps_.rend(); ++it) {
            try {
                (*it)();
            } catch (...) {
                // Undo what can be undone; the failure that started the rollback is the one reported.
            }
        }
    }
    void add(std::function<void()> undo) { steps_.push_back(std::move(undo)); }
    void dismiss() { steps_.clear(); }

  private:
    std::vector<std::function<void()>> steps_;
};

// A key with its values and subkeys, read so that it can be written back as it was.
struct KeySnapshot {
    struct Value {
        std::wstring name;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    std::vector<Value> values;
    std::vector<std::pair<std::wstring, KeySnapshot>> subkeys;
};

KeySnapshot readTree(HKEY key) {
    KeySnapshot out;
    DWORD subkeyCount = 0, maxSubkey = 0, valueCount = 0, maxName = 0, maxData = 0;
    checkWin32(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeyCount, &maxSubkey, nullptr,
                                &valueCount, &maxName, &maxData, nullptr, nullptr),
               "reading registry key");
    for (DWORD i = 0; i < valueCount; ++i) {
        std::wstring name(maxName + 1, L'\0');
        std::vector<BYTE> data(maxData);
        DWORD nameLength = maxName + 1, dataLength = maxData, type = 0;
        checkWin32(RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &dataLength),
                   "reading registry value");
        name.resize(nameLength);
        data.resize(dataLength);
        out.values.push_back({std::move(name), type, std::move(data)});
    }
    for (DWORD i = 0; i < subkeyCount; ++i) {
        std::wstring name(maxSubkey + 1, L'\0');
        DWORD nameLength = maxSubkey + 1;
        checkWin32(RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr),
                   "reading registry key");
        name.resize(nameLength);
        UniqueHkey sub = openKey(key, name, KEY_READ);
        if (sub)
            out.subkeys.emplace_back(name, readTree(sub.get()));
    }
    return out;
}

void writeTree(HKEY key, const KeySnapshot& snapshot) {
    for (const auto& v : snapshot.values)
        checkWin32(RegSetValueExW(key, v.name.empty() ? nullptr : v.name.c_str(), 0, v.type, v.data.data(),
                                  static_cast<DWORD>(v.data.size())),
                   "restoring registry value " + narrowed(v.name));
    for (const auto& [name, sub] : snapshot.subkeys)
        writeTree(createKey(key, name).get(), sub);
}

class ForeignInterfaceGuard {
  public:
    explicit ForeignInterfaceGuard(const RegistryPlace& classes) {
        for (REGSAM view : Views) {
            // The classes root opened in the view, so that every path below it is in that view too.
            View v{openKey(classes.root, classes.path, KEY_READ | KEY_WRITE | view), {}};
            if (!v.root)
                continue;
            for (const wchar_t* iid : ForeignInterfaces) {
                UniqueHkey key = openKey(v.root.get(), interfaceKey(iid), KEY_READ);
                v.saved.push_back(
                    {iid, key ? std::optional<KeySnapshot>(readTree(key.get())) : std::nullopt});
            }
            views_.push_back(std::move(v));
        }
    }
    ForeignInterfaceGuard(const ForeignInterfaceGuard&) = delete;
    ForeignInterfaceGuard& operator=(const ForeignInterfaceGuard&) = delete;

    void restore() {
        for (const View& v : views_) {
            for (const auto& [iid, before] : v.saved) {
                deleteTree(v.root.get(), interfaceKey(iid));
                if (before)
                    writeTree(createKey(v.root.get(), interfaceKey(iid)).get(), *before);
            }
        }
    }

  private:
    struct View {
        UniqueHkey root;
        std::vector<std::pair<const wchar_t*, std::optional<KeySnapshot>>> saved;
    };
    static std::wstring interfaceKey(const wchar_t* iid) { return std::wstring(L"Interface\\") + iid; }

    std::vector<View> views_;
};

HKEY openedClassesRoot(const RegistryPlace& place, UniqueHkey& holder) {
    holder = createKey(place.root, place.path);
    return holder.get();
}

using RegisterFunction = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
using UnregisterFunction = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

// The per-user type library functions came with later versions of the platform: looked up, not linked.
template <class Function> Function perUserFunction(const char* name) {
    HMODULE oleaut = GetModuleHandleW(L"oleaut32.dll");
    auto* found = oleaut ? GetProcAddress(oleaut, name) : nullptr;
    if (found == nullptr)
        throw host::Failure(static_cast<std::int32_t>(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND)),
                            std::string(name) + " is not available");
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

constexpr SYSKIND ThisSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

void registerTypeLibrary(const RegistrationPlan& plan, Scope scope) {
    Microsoft::WRL::ComPtr<ITypeLib> library;
    check(LoadTypeLibEx(plan.modulePath.c_str(), REGKIND_NONE, &library), "loading the type library");

    ForeignInterfaceGuard foreign(scope == Scope::AllUsers ? plan.allUsersClasses : plan.currentUserClasses);
    std::wstring path = plan.modulePath;
    const HRESULT hr = scope == Scope::AllUsers ? RegisterTypeLib(library.Get(), path.data(), nullptr)
                                                : perUserFunction<RegisterFunction>("RegisterTypeLibForUser")(
                                                      library.Get(), path.data(), nullptr);
    foreign.restore();
    check(hr, scope == Scope::AllUsers ? "RegisterTypeLib" : "RegisterTypeLibForUser");
}

void unregisterTypeLibrary(Scope scope, const RegistryPlace& classes, HKEY classesRoot) {
    std::wstring key = std::wstring(L"TypeLib\\") + TypeLibIdText;
    if (!openKey(classesRoot, key, KEY_READ))
        return;
    ForeignInterfaceGuard foreign(classes);
    HRESULT hr = scope == Scope::AllUsers
                     ? UnRegisterTypeLib(TypeLibId, TypeLibMajor, TypeLibMinor, 0, ThisSysKind)
                     : perUserFunction<UnregisterFunction>("UnRegisterTypeLibForUser")(
                           TypeLibId, TypeLibMajor, TypeLibMinor, 0, ThisSysKind);
    foreign.restore();
    if (hr == TYPE_E_REGISTRYACCESS || hr == TYPE_E_LIBNOTREGISTERED)
        hr = S_OK; // registered for another platform only, or gone meanwhile
    check(hr, "UnRegisterTypeLib");
    // What the platform leaves behind when a version was registered for another platform too.
    if (UniqueHkey library = openKey(classesRoot, key, KEY_READ)) {
        DWORD subkeys = 0;
        checkWin32(RegQueryInfoKeyW(library.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                    nullptr, nullptr, nullptr, nullptr, nullptr),
                   "reading the type library key");
        if (subkeys == 0)
            deleteTree(classesRoot, key);
    }
}

void writeAddinEntry(const RegistryPlace& addins) {
    UniqueHkey key = createKey(addins.root, addins.path + L"\\" + AddinEntry);
    setText(key.get(), L"FriendlyName", FriendlyName);
    setText(key.get(), L"Description", Description);
    setNumber(key.get(), L"LoadBehavior", LoadAtStartup);
    setNumber(key.get(), L"CommandLineSafe", 0);
}

void removeAddinEntry(const RegistryPlace& addins) {
    deleteTree(addins.root, addins.path + L"\\" + AddinEntry);
}

bool isRegisteredUnder(const RegistryPlace& place) {
    UniqueHkey root = openKey(place.root, place.path, KEY_READ);
    if (!root)
        return false;
    for (const auto& key : classLayout(L"").ownedKeys) {
        if (openKey(root.get(), key, KEY_READ))
            return true;
    }
    return static_cast<bool>(openKey(root.get(), std::wstring(L"TypeLib\\") + TypeLibIdText, KEY_READ));
}

} // namespace

ClassLayout classLayout(std::wstring_view modulePath) {
    const std::wstring clsid = std::wstring(L"CLSID\\") + ClassIdText;
    ClassLayout layout;
    layout.ownedKeys = {clsid, ProgId};
    layout.values = {
        {clsid, L"", ProgId},
        {clsid + L"\\InprocServer32", L"", std::wstring(modulePath)},
        {clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {clsid + L"\\ProgID", L"", ProgId},
        {clsid + L"\\TypeLib", L"", TypeLibIdText},
        {clsid + L"\\Version", L"", L"1.0"},
        {ProgId, L"", ProgId},
        {std::wstring(ProgId) + L"\\CLSID", L"", ClassIdText},
    };
    return layout;
}

void writeClassKeys(HKEY classesRoot, std::wstring_view modulePath) {
    const ClassLayout layout = classLayout(modulePath);
    Rollback undo;
    undo.add([&] { removeClassKeys(classesRoot); });
    for (const auto& value : layout.values)
        setText(createKey(classesRoot, value.key).get(), value.name, value.data);
    undo.dismiss();
}

void removeClassKeys(HKEY classesRoot) {
    for (const auto& key : classLayout(L"").ownedKeys)
        deleteTree(classesRoot, key);
}

RegistrationPlan systemPlan(std::wstring modulePath) {
    RegistrationPlan plan;
    plan.modulePath = std::move(modulePath);
    // The machine's half of HKEY_CLASSES_ROOT. Writing through HKCR itself would land in the user's half
    // whenever the user already has a key of the same name.
    plan.allUsersClasses = {HKEY_LOCAL_MACHINE, L"Software\\Classes"};
    plan.currentUserClasses = {HKEY_CURRENT_USER, L"Software\\Classes"};
    plan.addins = {HKEY_CURRENT_USER, L"Software\\Microsoft\\Office\\FrontPage\\Addins"};
    return plan;
}

Scope writeForWidestScope(const std::function<void(Scope)>& writeClasses) {
    try {
        writeClasses(Scope::AllUsers);
        return Scope::AllUsers;
    } catch (const host::Failure& failure) {
        if (!isAccessDenied(failure))
            throw;
    }
    writeClasses(Scope::CurrentUser);
    return Scope::CurrentUser;
}

Scope registerServer(const RegistrationPlan& plan) {
    // Declared before the rollback, which still needs the key open.
    UniqueHkey classesRoot;
    Rollback undo;
    const Scope scope = writeForWidestScope([&](Scope s) {
        const RegistryPlace& place = s == Scope::AllUsers ? plan.allUsersClasses : plan.currentUserClasses;
        writeClassKeys(openedClassesRoot(place, classesRoot), plan.modulePath);
    });
    const HKEY root = classesRoot.get();
    undo.add([root] { removeClassKeys(root); });

    if (plan.typeLibrary) {
        registerTypeLibrary(plan, scope);
        const RegistryPlace& classes =
            scope == Scope::AllUsers ? plan.allUsersClasses : plan.currentUserClasses;
        undo.add([scope, &classes, root] { unregisterTypeLibrary(scope, classes, root); });
    }

    undo.add([&plan] { removeAddinEntry(plan.addins); });
    writeAddinEntry(plan.addins);

    undo.dismiss();
    return scope;
}

void unregisterServer(const RegistrationPlan& plan) {
    // Each scope is cleaned even when the other fails; the first failure is reported.
    std::optional<host::Failure> first;
    auto attempt = [&](auto&& step) {
        try {
            step();
        } catch (const host::Failure& failure) {
            if (!first)
                first = failure;
        }
    };
    for (const auto& [place, scope] : {std::pair{plan.allUsersClasses, Scope::AllUsers},
                                       std::pair{plan.currentUserClasses, Scope::CurrentUser}}) {
        attempt([&] {
            // Write access is asked for only where there is something of ours to remove, so a user
            // without administrator rights can remove a registration of their own.
            if (!isRegisteredUnder(place))
                return;
            UniqueHkey root = openKey(place.root, place.path, KEY_READ | KEY_WRITE);
            if (plan.typeLibrary)
                attempt([&] { unregisterTypeLibrary(scope, place, root.get()); });
            attempt([&] { removeClassKeys(root.get()); });
        });
    }
    attempt([&] { removeAddinEntry(plan.addins); });
    if (first)
        throw *first;
}

} // namespace addin::com
