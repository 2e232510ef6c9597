#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>
#include <windows.h>

// Where the server writes itself into the registry, and how it takes itself out again.
namespace addin::com {

// The class's name in the registry, and the name of the editor's add-in entry.
inline constexpr const wchar_t* ProgId = L"Varnook3.Connect";

// One value of the class's registration, relative to a classes root (HKCR or HKCU\Software\Classes).
struct RegistryValue {
    std::wstring key;
    std::wstring name; // "" is the key's default value
    std::wstring data;
};

struct ClassLayout {
    // The keys that belong to this server alone: removing them removes the registration.
    std::vector<std::wstring> ownedKeys;
    std::vector<RegistryValue> values;
};

// The class, its ProgID and their links to the type library, for a server at `modulePath`.
ClassLayout classLayout(std::wstring_view modulePath);

// Writes the layout under `classesRoot`; on failure removes what it wrote and throws host::Failure.
void writeClassKeys(HKEY classesRoot, std::wstring_view modulePath);
// Removes the layout's keys; keys already gone are no failure.
void removeClassKeys(HKEY classesRoot);

enum class Scope { AllUsers, CurrentUser };

// A registry location: a predefined root and a path below it.
struct RegistryPlace {
    HKEY root;
    std::wstring path;
};

// Everything one registration touches. The server's own plan is systemPlan(); tests point the places
// at keys of their own.
struct RegistrationPlan {
    std::wstring modulePath;
    RegistryPlace allUsersClasses;
    RegistryPlace currentUserClasses;
    // The key that holds the editor's add-in entries.
    RegistryPlace addins;
    bool typeLibrary = true;
};

RegistrationPlan systemPlan(std::wstring modulePath);

// Runs `writeClasses` for all users and, where that is refused (access denied), again for the current
// user; any other failure is thrown. Returns the scope written.
Scope writeForWidestScope(const std::function<void(Scope)>& writeClasses);

// Registers for all users, or for the current user where all users' keys are refused; then the add-in
// entry. A failing step throws host::Failure after removing what the earlier steps wrote. Returns the
// scope the class was registered for.
Scope registerServer(const RegistrationPlan& plan);
// Removes the class, the type library and the add-in entry from both scopes; what is already absent is
// no failure.
void unregisterServer(const RegistrationPlan& plan);

} // namespace addin::com
