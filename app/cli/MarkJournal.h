#pragma once

#include "host/Value.h"
#include "host/WebModel.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

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
    bool appliedAny() const { return appliedAny_; }

  private:
    friend class JournalProperties;

    struct Pending {
        std::optional<host::Value> value; // none: removed
    };
    // What the command did to one item, by property name.
    struct ItemRecord {
        std::map<std::string, host::Value, std::less<>> before;
        std::map<std::string, Pending, std::less<>> pending;     // a dry run's changes not yet applied
        std::map<std::string, host::Value, std::less<>> applied; // Empty for a removal
    };

    host::Value committed(host::Properties& real, const ItemRecord& item, std::string_view name) const;

    host::Application& real_;
    bool dryRun_;
    // By location. Hashed, not sorted: locations deep in a web share long beginnings, which a sorted
    // map would compare again at every step of every look-up.
    std::unordered_map<std::string, ItemRecord> items_;
    bool appliedAny_ = false;
};

} // namespace app
