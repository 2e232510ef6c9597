#pragma once

#include "addin/AddinModule.h"

#include <string>
#include <windows.h>

// What the loaded server holds as a whole.
namespace addin::com {

HMODULE moduleHandle();
std::wstring modulePath();

// The add-in's module: its global application object (the editor's Application class, created on first
// use) and its publishing window. One per loaded server: made on first use and dropped when the server
// may be unloaded.
addin::AddinModule& addinModule();

// S_OK after dropping the module when no object of the server is alive and no lock is held; S_FALSE
// otherwise.
HRESULT canUnloadNow();

} // namespace addin::com
