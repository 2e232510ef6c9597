#pragma once

#include "host/Value.h"
#include "host/WebModel.h"

#include <map>
#include <optional>
#include <string>
#include <utility>

namespace app {

// Stands between the window and the web so a command can say which marks it changed, and so a dry run
// can go through every step of the marking without writing anything.
//
// Listing and reading pass straight through. Items found by location get property collections that
// note the mark's value before the first change and every applied change. In a dry run the changes are
// kept here instead: a later read or removal sees them as the web would, and nothing reaches the web.
class MarkJournal final : public host::Application {
  public:
    MarkJournal(host::Application& web, bool dryRun) : real_(web), dryRun_(dryRun) {}

    std::unique_ptr<host::Web> activeWeb() override;
    std::string relativeUrl(host::Folder& base, std::string_view url) override {
        return real_.relativeUrl(base, url);
    }

    bool dryRun() const { return dryRun_; }

    struct Change {
        host::Value before; // as stored before the command's first change of the item
        host::Value after;  // as stored at its end (in a dry run: as it would be)
    };
    // The property of the item at the location as the command found it and as it left it, or none when
    // the command applied no change to it. The value after is read back from the web right after each
    // apply, so a write the web refused shows as no change.
    std::optional<Change> changeOf(const std::string& location, std::string_view name);
    bool appliedAny() const { return !applied_.empty(); }

  private:
    friend class JournalProperties;
    using Key = std::pair<std::string, std::string>; // location, property name

    struct Pending {
        std::optional<host::Value> value; // none: removed
    };

    host::Value committed(host::Properties& real, const Key& key);

    host::Application& real_;
    bool dryRun_;
    std::map<Key, host::Value> before_;
    std::map<Key, Pending> pending_;     // a dry run's changes not yet applied
    std::map<Key, host::Value> applied_; // what the command applied, Empty for a removal
};

} // namespace app
