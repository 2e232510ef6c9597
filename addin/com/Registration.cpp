#include "addin/com/Registration.h"

#include "Varnook3.h"
#include "addin/com/RegistryKeys.h"
#include "addin/com/TypeLibraryRegistration.h"
#include "host/Failure.h"
#include "host/Ownership.h"
#include "host/automation/Com.h"

#include <functional>
#include <optional>
#include <utility>

namespace addin::com {
namespace {

using host::automation::checkWin32;
using host::automation::narrow;
using host::automation::UniqueHkey;

constexpr const wchar_t* FriendlyName = L"Talvo Varnook 3.0";
constexpr const wchar_t* Description = L"Varnook 3.0 FrontPage Add-in";
constexpr DWORD LoadAtStartup = 3; // loaded, and loaded again each time the editor starts

bool isAccessDenied(const host::Failure& failure) {
    const auto status = static_cast<HRESULT>(failure.status());
    return status == E_ACCESSDENIED || status == HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
}

void setText(HKEY key, const std::wstring& name, std::wstring_view data) {
    const std::wstring text(data);
    checkWin32(RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
               "writing registry value " + narrow(name));
}

void setNumber(HKEY key, const wchar_t* name, DWORD value) {
    checkWin32(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
               "writing registry value " + narrow(name));
}

// Runs an undo step where another failure is already on its way: that one is reported, and an undo step
// that fails leaves the rest to the steps after it.
template <class Step> void undoing(Step&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

HKEY openedClassesRoot(const RegistryPlace& place, UniqueHkey& holder) {
    holder = createKey(place.root, place.path);
    return holder.get();
}

void writeAddinEntry(const RegistryPlace& addins) {
    UniqueHkey key = createKey(addins.root, addins.path + L"\\" + ProgId);
    setText(key.get(), L"FriendlyName", FriendlyName);
    setText(key.get(), L"Description", Description);
    setNumber(key.get(), L"LoadBehavior", LoadAtStartup);
    setNumber(key.get(), L"CommandLineSafe", 0);
}

void removeAddinEntry(const RegistryPlace& addins) {
    deleteTree(addins.root, addins.path + L"\\" + ProgId);
}

bool isRegisteredUnder(const RegistryPlace& place) {
    UniqueHkey root = openKey(place.root, place.path, KEY_READ);
    if (!root)
        return false;
    for (const auto& key : classLayout(L"").ownedKeys) {
        if (openKey(root.get(), key, KEY_READ))
            return true;
    }
    return static_cast<bool>(openKey(root.get(), typeLibraryKey(), KEY_READ));
}

} // namespace

ClassLayout classLayout(std::wstring_view modulePath) {
    const std::wstring classId = guidText(CLSID_Connect);
    const std::wstring libraryId = guidText(LIBID_Varnook3);
    const std::wstring clsid = L"CLSID\\" + classId;
    ClassLayout layout;
    layout.ownedKeys = {clsid, ProgId};
    layout.values = {
        {clsid, L"", ProgId},
        {clsid + L"\\InprocServer32", L"", std::wstring(modulePath)},
        {clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {clsid + L"\\ProgID", L"", ProgId},
        {clsid + L"\\TypeLib", L"", libraryId},
        {clsid + L"\\Version", L"", L"1.0"},
        {ProgId, L"", ProgId},
        {std::wstring(ProgId) + L"\\CLSID", L"", classId},
    };
    return layout;
}

void writeClassKeys(HKEY classesRoot, std::wstring_view modulePath) {
    const ClassLayout layout = classLayout(modulePath);
    auto undo = host::scopeExit([&] { undoing([&] { removeClassKeys(classesRoot); }); });
    for (const auto& value : layout.values)
        setText(createKey(classesRoot, value.key).get(), value.name, value.data);
    undo.release();
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
    // Declared before the undo steps, which still need the key open.
    UniqueHkey classesRoot;
    const Scope scope = writeForWidestScope([&](Scope s) {
        const RegistryPlace& place = s == Scope::AllUsers ? plan.allUsersClasses : plan.currentUserClasses;
        writeClassKeys(openedClassesRoot(place, classesRoot), plan.modulePath);
    });
    const HKEY root = classesRoot.get();
    const RegistryPlace& classes = scope == Scope::AllUsers ? plan.allUsersClasses : plan.currentUserClasses;

    // Until the last step succeeds, a failure takes out what the steps before it wrote, last first.
    auto removeClasses = host::scopeExit([root] { undoing([root] { removeClassKeys(root); }); });
    if (plan.typeLibrary)
        registerTypeLibrary(plan, scope);
    auto unregisterLibrary = host::scopeExit([&] {
        if (plan.typeLibrary)
            undoing([&] { unregisterTypeLibrary(scope, classes, root); });
    });
    auto removeEntry = host::scopeExit([&plan] { undoing([&plan] { removeAddinEntry(plan.addins); }); });
    writeAddinEntry(plan.addins);

    removeEntry.release();
    unregisterLibrary.release();
    removeClasses.release();
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
