#include "marking/MarkWrites.h"

namespace marking {

void MarkWrites::failed(const host::Node& item, const host::Failure& cause) {
    attempted_.insert(&item);
    if (!failedItems_.insert(&item).second)
        return;
    if (causes_.empty())
        firstStatus_ = cause.status();
    if (causes_.size() < ItemsNamed)
        causes_.push_back({std::string(item.key()), cause.what()});
}

std::string MarkWrites::summary() const {
    std::string out = "could not write the mark of " + std::to_string(failedItems_.size()) + " of " +
                      std::to_string(attempted_.size()) + (attempted_.size() == 1 ? " item: " : " items: ");
    for (std::size_t i = 0; i < causes_.size(); ++i) {
        if (i > 0)
            out += "; ";
        out += causes_[i].item + ": " + causes_[i].message;
    }
    if (failedItems_.size() > causes_.size())
        out += "; and " + std::to_string(failedItems_.size() - causes_.size()) + " more";
    return out;
}

void MarkWrites::clear() {
    attempted_.clear();
    failedItems_.clear();
    causes_.clear();
    firstStatus_ = host::status::Fail;
}

} // namespace marking
