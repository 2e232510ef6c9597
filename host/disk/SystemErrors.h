#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// How the disk web speaks of a failed system call.
namespace host::disk {

// The port's status for an errno: access denied, not found, or a plain failure.
std::int32_t statusFor(int error);
// The errno's text ("No such file or directory").
std::string message(int error);
// A name or path as one terminal line may show it: control characters as \xNN.
std::string printable(std::string_view text);

} // namespace host::disk
