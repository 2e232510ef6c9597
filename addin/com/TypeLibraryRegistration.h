#pragma once

#include "addin/com/Registration.h"

#include <string>
#include <windows.h>

// The type library's half of the registration: the platform's functions write its keys, and put back
// the keys of the interfaces it declares that belong to other libraries.
namespace addin::com {

// The library's key below a classes root.
std::wstring typeLibraryKey();

void registerTypeLibrary(const RegistrationPlan& plan, Scope scope);
// Nothing to do when the library is not registered under `classesRoot`.
void unregisterTypeLibrary(Scope scope, const RegistryPlace& classes, HKEY classesRoot);

} // namespace addin::com
