#include "app/cli/MarkJournal.h"

#include "host/Failure.h"

namespace app {

class JournalProperties final : public host::Properties {
  public:
    JournalProperties(MarkJournal& journal, const std::string& location,
                      std::unique_ptr<host::Properties> real)
        : journal_(journal), record_(journal.items_[location]), real_(std::move(real)) {}

    host::Value item(std::string_view name) override { return journal_.committed(*real_, record_, name); }

    void set(std::string_view name, const host::Value& value) override {
        noteBefore(name);
        if (journal_.dryRun_)
            record_.pending.insert_or_assign(std::string(name), MarkJournal::Pending{value});
        else
            real_->set(name, value);
    }

    void remove(std::string_view name) override {
        noteBefore(name);
        if (!journal_.dryRun_) {
            real_->remove(name);
            return;
        }
        const auto pending = record_.pending.find(name);
        const bool present = pending != record_.pending.end()
                                 ? pending->second.value.has_value()
                                 : !journal_.committed(*real_, record_, name).isEmpty();
        // As the web refuses it, so the dry run takes the same path through the marking as a real one.
        if (!present)
            throw host::Failure(host::status::InvalidArg, "no property '" + std::string(name) + "'");
        record_.pending.insert_or_assign(std::string(name), MarkJournal::Pending{std::nullopt});
    }

    void apply() override {
        if (!journal_.dryRun_)
            real_->apply();
        for (auto& [name, pending] : record_.pending)
            record_.applied.insert_or_assign(name, pending.value.value_or(host::Value::empty()));
        record_.pending.clear();
        if (!journal_.dryRun_) {
            for (const auto& [name, value] : record_.before)
                record_.applied.insert_or_assign(name, journal_.committed(*real_, record_, name));
        }
        journal_.appliedAny_ = journal_.appliedAny_ || !record_.applied.empty();
    }

  private:
    void noteBefore(std::string_view name) {
        if (record_.before.find(name) != record_.before.end())
            return;
        host::Value before;
        try {
            before = journal_.committed(*real_, record_, name);
        } catch (const host::Failure&) {
            before = host::Value::null(); // unreadable: any readable value afterwards counts as a change
        }
        record_.before.emplace(std::string(name), std::move(before));
    }

    MarkJournal& journal_;
    MarkJournal::ItemRecord& record_; // the journal's own, which stays where it is
    std::unique_ptr<host::Properties> real_;
};

namespace {

class JournalItem final : public host::Item {
  public:
    JournalItem(MarkJournal& journal, std::string location, std::unique_ptr<host::Item> real)
        : journal_(journal), location_(std::move(location)), real_(std::move(real)) {}
    std::string url() override { return real_->url(); }
    std::unique_ptr<host::Properties> properties() override {
        return std::make_unique<JournalProperties>(journal_, location_, real_->properties());
    }

  private:
    MarkJournal& journal_;
    std::string location_;
    std::unique_ptr<host::Item> real_;
};

class JournalWeb final : public host::Web {
  public:
    JournalWeb(MarkJournal& journal, std::unique_ptr<host::Web> real)
        : journal_(journal), real_(std::move(real)) {}
    std::string url() override { return real_->url(); }
    std::unique_ptr<host::Folder> rootFolder() override { return real_->rootFolder(); }
    std::optional<std::string> homePageUrl() override { return real_->homePageUrl(); }
    std::unique_ptr<host::Item> locate(std::string_view location) override {
        auto item = real_->locate(location);
        if (!item)
            return nullptr;
        return std::make_unique<JournalItem>(journal_, std::string(location), std::move(item));
    }

  private:
    MarkJournal& journal_;
    std::unique_ptr<host::Web> real_;
};

} // namespace

std::unique_ptr<host::Web> MarkJournal::activeWeb() {
    auto web = real_.activeWeb();
    if (!web)
        return nullptr;
    return std::make_unique<JournalWeb>(*this, std::move(web));
}

host::Value MarkJournal::committed(host::Properties& real, const ItemRecord& item,
                                   std::string_view name) const {
    if (dryRun_) {
        const auto applied = item.applied.find(name);
        if (applied != item.applied.end())
            return applied->second;
    }
    return real.item(name);
}

std::optional<MarkJournal::Change> MarkJournal::changeOf(const std::string& location, std::string_view name) {
    const auto item = items_.find(location);
    if (item == items_.end())
        return std::nullopt;
    const auto applied = item->second.applied.find(name);
    if (applied == item->second.applied.end())
        return std::nullopt;
    const auto before = item->second.before.find(name);
    return Change{before != item->second.before.end() ? before->second : host::Value::empty(),
                  applied->second};
}

} // namespace app
