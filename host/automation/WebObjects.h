#pragma once

#include "host/WebModel.h"

// The platform's headers need <windows.h> ahead of them.
// clang-format off
#include <windows.h>
// clang-format on

#include <memory>
#include <oaidl.h>
#include <wrl/client.h>

namespace host::automation {

// The editor's Application object (its IDispatch) as the core's host::Application.
std::unique_ptr<Application> makeApplication(Microsoft::WRL::ComPtr<IDispatch> application);

// The editor's object behind an adapter made here (an AddRef'd pointer), or null for any other object.
Microsoft::WRL::ComPtr<IDispatch> dispatchOf(Application& application);

} // namespace host::automation
