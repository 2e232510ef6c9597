#pragma once

#include "host/CommandBars.h"

// The platform's headers need <windows.h> ahead of them.
// clang-format off
#include <windows.h>
// clang-format on

#include <memory>
#include <oaidl.h>
#include <wrl/client.h>

namespace host::automation {

// The Office command bars' button events, a dispinterface: Click is DISPID 1 with (Ctrl, CancelDefault).
struct CommandBarButtonEvents : IDispatch {};
inline constexpr DISPID DISPID_CommandBarButtonClick = 1;

// The editor's CommandBars object (its IDispatch) as the core's host::CommandBars.
std::unique_ptr<CommandBars> makeCommandBars(Microsoft::WRL::ComPtr<IDispatch> commandBars);

} // namespace host::automation

__CRT_UUID_DECL(host::automation::CommandBarButtonEvents, 0x000C0351, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00,
                0x00, 0x00, 0x00, 0x46)
