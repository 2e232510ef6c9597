#include "host/automation/ComObject.h"

namespace host::automation {
namespace {
ObjectCount moduleCount{};
} // namespace

void countObjectsWith(ObjectCount count) noexcept {
    moduleCount = count;
}

void detail::objectCreated() noexcept {
    if (moduleCount.created != nullptr)
        moduleCount.created();
}

void detail::objectDestroyed() noexcept {
    if (moduleCount.destroyed != nullptr)
        moduleCount.destroyed();
}

} // namespace host::automation
