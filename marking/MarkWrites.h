#pragma once

#include "host/Failure.h"
#include "host/TreeModel.h"

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

namespace marking {

// What one marking command did with the marks it wrote: which items it wrote and which writes failed.
// Writing goes on after a failure, so the command can only say at its end what did not reach the web.
class MarkWrites {
  public:
    // Items are told apart by their nodes, which stay put for the whole command; a node's key is its URL.
    void attempted(const host::Node& item) { attempted_.insert(&item); }
    void failed(const host::Node& item, const host::Failure& cause);

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
    std::unordered_set<const host::Node*> attempted_;
    std::unordered_set<const host::Node*> failedItems_;
    std::vector<Cause> causes_; // the first failure of each of the first items, in order
    std::int32_t firstStatus_ = host::status::Fail;
};

} // namespace marking
