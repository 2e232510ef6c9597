#pragma once

// The platform's headers need <windows.h> ahead of them.
// clang-format off
#include <windows.h>
// clang-format on

#include <unknwn.h>

namespace addin::com {

// Creates the add-in object the editor loads (coclass Connect) and queries it for `iid`.
HRESULT createConnect(REFIID iid, void** object);

} // namespace addin::com
