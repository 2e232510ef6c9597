#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace host {

// Status codes follow the platform's HRESULT values, so a failure raised anywhere in the core can be
// handed back unchanged as the result of a COM method.
namespace status {
inline constexpr std::int32_t Fail = static_cast<std::int32_t>(0x80004005);         // E_FAIL
inline constexpr std::int32_t InvalidArg = static_cast<std::int32_t>(0x80070057);   // E_INVALIDARG
inline constexpr std::int32_t TypeMismatch = static_cast<std::int32_t>(0x80020005); // DISP_E_TYPEMISMATCH
inline constexpr std::int32_t NotFound = static_cast<std::int32_t>(0x80070002);     // file not found
inline constexpr std::int32_t AccessDenied = static_cast<std::int32_t>(0x80070005); // E_ACCESSDENIED
inline constexpr std::int32_t NoObject = static_cast<std::int32_t>(0x800A005B);     // object variable not set
inline constexpr std::int32_t Injected = static_cast<std::int32_t>(0x8004FFFF);     // test fault injection
} // namespace status

// The one error type of every port: a failed call of the host, the tree control or the window.
class Failure : public std::runtime_error {
  public:
    Failure(std::int32_t status, const std::string& message) : std::runtime_error(message), status_(status) {}
    explicit Failure(const std::string& message) : Failure(status::Fail, message) {}

    std::int32_t status() const noexcept { return status_; }

  private:
    std::int32_t status_;
};

} // namespace host
