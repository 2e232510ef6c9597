#pragma once

#include <string>
#include <string_view>

namespace app {

// Writes all of the text to standard output and makes sure it got there. Returns the error's
// description ("No space left on device"), or an empty string on success.
std::string writeStandardOutput(std::string_view text);

} // namespace app
