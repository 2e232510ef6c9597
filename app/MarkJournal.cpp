#include "app/MarkJournal.h"

#include "host/Failure.h"

namespace app {

class JournalProperties final : public host::Properties {
    using Key = MarkJournal::Key;

  public:
    JournalProperties(MarkJournal& journal, std::string location, std::unique_ptr<host::Properties> real)
        : journal_(journal), location_(std::move(location)), real_(std::move(real)) {}

    host::Value item(std::string_view name) override { return journal_.committed(*real_, key(name)); }

    void set(std::string_view name, const host::Value& value) override {
        noteBefore(name);
        if (journal_.dryRun_)
            journal_.pending_[key(name)] = {value};
        else
            real_->set(name, value);
    }

    void remove(std::string_view name) override {
        noteBefore(name);
        if (!journal_.dryRun_) {
            real_->remove(name);
            return;
        }
        const Key k = key(name);
        const auto pending = journal_.pending_.find(k);
        const bool present = pending != journal_.pending_.end() ? pending->second.value.has_value()
                                                                : !journal_.committed(*real_, k).isEmpty();
        // As the web refuses it, so the dry run takes the same path through the marking as a real one.
        if (!present)
            throw host::Failure(host::status::InvalidArg, "no property '" + std::string(name) + "'");
        journal_.pending_[k] = {std::nullopt};
    }

    void apply() override {
        if (!journal_.dryRun_)
            real_->apply();
        // Keys sort by location first: the item's entries are one run, found without a scan of all.
        const Key first{location_, std::string()};
        auto it = journal_.pending_.lower_bound(first);
        while (it != journal_.pending_.end() && it->first.first == location_) {
            journal_.applied_[it->first] = it->second.value.value_or(host::Value::empty());
            it = journal_.pending_.erase(it);
        }
        if (!journal_.dryRun_) {
            for (auto b = journal_.before_.lower_bound(first);
                 b != journal_.before_.end() && b->first.first == location_; ++b)
                journal_.applied_[b->first] = journal_.committed(*real_, b->first);
        }
    }

  private:
    MarkJournal::Key key(std::string_view name) const { return {location_, std::string(name)}; }

    void noteBefore(std::string_view name) {
        const Key k = key(name);
        if (journal_.before_.count(k) != 0)
            return;
        host::Value before;
        try {
            before = journal_.committed(*real_, k);
        } catch (const host::Failure&) {
            before = host::Value::null(); // unreadable: any readable value afterwards counts as a change
        }
        journal_.before_.emplace(k, std::move(before));
    }

    MarkJournal& journal_;
    std::string location_;
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

host::Value MarkJournal::committed(host::Properties& real, const Key& key) {
    if (dryRun_) {
        const auto applied = applied_.find(key);
        if (applied != applied_.end())
            return applied->second;
    }
    return real.item(key.second);
}

std::optional<MarkJournal::Change> MarkJournal::changeOf(const std::string& location, std::string_view name) {
    const Key k{location, std::string(name)};
    const auto applied = applied_.find(k);
    if (applied == applied_.end())
        return std::nullopt;
    const auto before = before_.find(k);
    return Change{before != before_.end() ? before->second : host::Value::empty(), applied->second};
}

} // namespace app
