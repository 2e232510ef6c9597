#pragma once

// The registry calls both halves of the registration make. Each failure throws host::Failure naming the
// key.

#include "host/automation/Com.h"

#include <string>
#include <string_view>

namespace addin::com {

// In braces and upper case, as the registry names classes and libraries.
std::wstring guidText(const GUID& guid);

host::automation::UniqueHkey createKey(HKEY root, std::wstring_view path);
// Null when the key does not exist.
host::automation::UniqueHkey openKey(HKEY root, std::wstring_view path, REGSAM access);
// A key already gone is no failure.
void deleteTree(HKEY root, std::wstring_view path);

} // namespace addin::com
