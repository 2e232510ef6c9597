#include "addin/com/RegistryKeys.h"

#include <objbase.h>

namespace addin::com {

using host::automation::checkWin32;
using host::automation::narrow;
using host::automation::UniqueHkey;

std::wstring guidText(const GUID& guid) {
    wchar_t text[39];
    StringFromGUID2(guid, text, 39);
    return text;
}

UniqueHkey createKey(HKEY root, std::wstring_view path) {
    UniqueHkey key;
    checkWin32(RegCreateKeyExW(root, std::wstring(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr),
               "creating registry key " + narrow(path));
    return key;
}

UniqueHkey openKey(HKEY root, std::wstring_view path, REGSAM access) {
    UniqueHkey key;
    const LONG error = RegOpenKeyExW(root, std::wstring(path).c_str(), 0, access, key.put());
    if (error == ERROR_FILE_NOT_FOUND)
        return UniqueHkey();
    checkWin32(error, "opening registry key " + narrow(path));
    return key;
}

void deleteTree(HKEY root, std::wstring_view path) {
    const LONG error = RegDeleteTreeW(root, std::wstring(path).c_str());
    if (error != ERROR_FILE_NOT_FOUND)
        checkWin32(error, "removing registry key " + narrow(path));
}

} // namespace addin::com
