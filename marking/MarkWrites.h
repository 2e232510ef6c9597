#pragma once

#include "host/Failure.h"

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace marking {

// What one marking command did with the marks it wrote: which items it wrote and which writes failed.
// Writing goes on after a failure, so the command can only say at its end what did not reach the web.
class MarkWrites {
  public:
    void attempted(std::string_view item) { attempted_.emplace(item); }
    void failed(std::string_view item, const host::Failure& cause);

    bool anyFailed() const { return !failedItems_.empty(); }
    // "could not write the mark of 2 of 5 items: URL: cause; URL: cause"; the first few items only.
    std::string summary() const;
    std::int32_t firstStatus() const { return firstStatus_; }
    void clear();

  private:
    static constexpr std::size_t ItemsNamed = 3;
    struct Cause {
        std::string item;
        std::string message;
    };
    std::set<std::string> attempted_;
    std::set<std::string> failedItems_;
    std::vector<Cause> causes_; // the first failure of each of the first items, in order
    std::int32_t firstStatus_ = host::status::Fail;
};

} // namespace marking
