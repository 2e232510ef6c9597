#include "addin/com/TypeLibraryRegistration.h"

#include "Varnook3.h"
#include "addin/com/RegistryKeys.h"
#include "host/Failure.h"
#include "host/Ownership.h"
#include "host/automation/Com.h"

#include <exception>
#include <oleauto.h>
#include <optional>
#include <utility>
#include <vector>
#include <wrl/client.h>

namespace addin::com {
namespace {

using host::automation::check;
using host::automation::checkWin32;
using host::automation::narrow;
using host::automation::UniqueHkey;

constexpr WORD TypeLibMajor = 1;
constexpr WORD TypeLibMinor = 0;

// Interfaces our type library declares but other libraries own (the editor's, the add-in designer's):
// the platform's type library functions write and delete their keys too, so both are run with those keys
// put back as they were afterwards.
const IID* const ForeignInterfaces[] = {&IID__Application, &IID_IDTExtensibility2};
// On a 64-bit system the functions write both registry views.
constexpr REGSAM Views[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

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
                   "restoring registry value " + narrow(v.name));
    for (const auto& [name, sub] : snapshot.subkeys)
        writeTree(createKey(key, name).get(), sub);
}

std::wstring interfaceKey(const IID* iid) {
    return L"Interface\\" + guidText(*iid);
}

// The foreign interfaces' keys in every view, as they are now.
class ForeignInterfaceKeys {
  public:
    explicit ForeignInterfaceKeys(const RegistryPlace& classes) {
        for (REGSAM view : Views) {
            // The classes root opened in the view, so that every path below it is in that view too.
            View v{openKey(classes.root, classes.path, KEY_READ | KEY_WRITE | view), {}};
            if (!v.root)
                continue;
            for (const IID* iid : ForeignInterfaces) {
                UniqueHkey key = openKey(v.root.get(), interfaceKey(iid), KEY_READ);
                v.saved.push_back(
                    {iid, key ? std::optional<KeySnapshot>(readTree(key.get())) : std::nullopt});
            }
            views_.push_back(std::move(v));
        }
    }

    void restore() const {
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
        std::vector<std::pair<const IID*, std::optional<KeySnapshot>>> saved;
    };
    std::vector<View> views_;
};

// Runs one of the platform's type library functions and puts the foreign interfaces' keys back as they
// were before it, whatever it returned. Putting them back belongs to the step: where that fails, its
// failure is the step's.
template <class Call> HRESULT keepingForeignInterfaces(const RegistryPlace& classes, Call&& call) {
    const ForeignInterfaceKeys before(classes);
    std::exception_ptr notRestored;
    HRESULT hr = S_OK;
    {
        const auto restore = host::scopeExit([&] {
            try {
                before.restore();
            } catch (...) {
                notRestored = std::current_exception();
            }
        });
        hr = call();
    }
    if (notRestored)
        std::rethrow_exception(notRestored);
    return hr;
}

using RegisterFunction = HRESULT WINAPI(ITypeLib*, OLECHAR*, OLECHAR*);
using UnregisterFunction = HRESULT WINAPI(REFGUID, WORD, WORD, LCID, SYSKIND);

// The per-user type library functions came with later versions of the platform: looked up, not linked.
template <class Function> Function* perUserFunction(const char* name) {
    Function* const found = host::automation::systemFunction<Function>(L"oleaut32.dll", name);
    if (found == nullptr)
        throw host::Failure(static_cast<std::int32_t>(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND)),
                            std::string(name) + " is not available");
    return found;
}

constexpr SYSKIND ThisSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

} // namespace

std::wstring typeLibraryKey() {
    return L"TypeLib\\" + guidText(LIBID_Varnook3);
}

void registerTypeLibrary(const RegistrationPlan& plan, Scope scope) {
    Microsoft::WRL::ComPtr<ITypeLib> library;
    check(LoadTypeLibEx(plan.modulePath.c_str(), REGKIND_NONE, &library), "loading the type library");

    RegisterFunction* const registerLibrary =
        scope == Scope::AllUsers ? RegisterTypeLib
                                 : perUserFunction<RegisterFunction>("RegisterTypeLibForUser");
    std::wstring path = plan.modulePath;
    const HRESULT hr =
        keepingForeignInterfaces(scope == Scope::AllUsers ? plan.allUsersClasses : plan.currentUserClasses,
                                 [&] { return registerLibrary(library.Get(), path.data(), nullptr); });
    check(hr, scope == Scope::AllUsers ? "RegisterTypeLib" : "RegisterTypeLibForUser");
}

void unregisterTypeLibrary(Scope scope, const RegistryPlace& classes, HKEY classesRoot) {
    std::wstring key = typeLibraryKey();
    if (!openKey(classesRoot, key, KEY_READ))
        return;
    UnregisterFunction* const unregisterLibrary =
        scope == Scope::AllUsers ? UnRegisterTypeLib
                                 : perUserFunction<UnregisterFunction>("UnRegisterTypeLibForUser");
    HRESULT hr = keepingForeignInterfaces(classes, [&] {
        return unregisterLibrary(LIBID_Varnook3, TypeLibMajor, TypeLibMinor, 0, ThisSysKind);
    });
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

} // namespace addin::com
