#pragma once

#include "addin/AddinModule.h"

#include <string>
#include <windows.h>

// What the loaded server holds as a whole.
namespace addin::com {

HMODULE moduleHandle();

// Objects of this server alive now, its class factory's locks included: the server may be unloaded only
// when there are none. Every object the server hands out counts here, also those the automation adapters
// make for the host, from the moment the server is loaded.
void serverObjectCreated() noexcept;
void serverObjectDestroyed() noexcept;
std::wstring modulePath();

// The add-in's module: its global application object (the editor's Application class, created on first
// use) and its publishing window. One per loaded server: made on first use and dropped when the server
// may be unloaded.
addin::AddinModule& addinModule();

// S_OK after dropping the module when no object of the server is alive and no lock is held; S_FALSE
// otherwise.
HRESULT canUnloadNow();

} // namespace addin::com
