#pragma once

#include <array>
#include <streambuf>
#include <string>
#include <string_view>

namespace app {

// The command line's standard output: written as it comes, a large block at a time, and checked. Holding
// a whole listing back until the end would cost more memory than the tree it lists; commands print only
// once their work is done, so a failing command still prints nothing half-way. After a failed write
// nothing more is written, and finish() names the failure.
class StandardOutput final : public std::streambuf {
  public:
    StandardOutput();
    StandardOutput(const StandardOutput&) = delete;
    StandardOutput& operator=(const StandardOutput&) = delete;

    // Writes what is still held and closes standard output. Returns the first failure's description
    // ("No space left on device"), or an empty string when everything got there.
    std::string finish();

  protected:
    int_type overflow(int_type ch) override;
    int sync() override;

  private:
    void writeHeld();
    void writeAll(std::string_view text);

    std::array<char, 64 * 1024> buffer_{};
    std::string error_;
};

} // namespace app
