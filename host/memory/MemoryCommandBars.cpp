#include "host/memory/MemoryCommandBars.h"

#include "host/Failure.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace host::memory {
namespace {

std::string normalised(std::string_view name) {
    std::string out;
    for (char c : name) {
        if (c != '&')
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

template <class List> std::shared_ptr<MemoryControl> resolve(const List& list, std::string_view name) {
    const std::string wanted = normalised(name);
    for (const auto& c : list) {
        if (!c->deleted && normalised(c->caption) == wanted)
            return c;
    }
    for (const auto& c : list) {
        if (!c->deleted && MemoryCommandBars::nameMatches(name, c->caption))
            return c;
    }
    return nullptr;
}

void checkAlive(const MemoryControl& c) {
    if (c.deleted)
        throw Failure(status::NoObject, "the control '" + c.caption + "' has been deleted");
}

class Subscription final : public ClickSubscription {
  public:
    Subscription(std::weak_ptr<MemoryControl> control, int id) : control_(std::move(control)), id_(id) {}
    ~Subscription() override {
        if (auto c = control_.lock()) {
            auto& handlers = c->clickHandlers;
            handlers.erase(std::remove_if(handlers.begin(), handlers.end(),
                                          [&](const auto& h) { return h.first == id_; }),
                           handlers.end());
        }
    }

  private:
    std::weak_ptr<MemoryControl> control_;
    int id_;
};

class Controls;

class Control final : public CommandBarControl {
  public:
    explicit Control(std::shared_ptr<MemoryControl> c) : c_(std::move(c)) {}
    int type() override { return alive().type; }
    std::string caption() override { return alive().caption; }
    void setCaption(std::string_view caption) override { alive().caption = caption; }
    std::string tag() override { return alive().tag; }
    void setTag(std::string_view tag) override { alive().tag = tag; }
    std::string parameter() override { return alive().parameter; }
    std::unique_ptr<CommandBarControls> controls() override;
    void remove() override {
        std::function<void(MemoryControl&)> drop = [&](MemoryControl& c) {
            c.deleted = true;
            c.clickHandlers.clear();
            for (auto& child : c.children)
                drop(*child);
        };
        drop(alive());
    }
    std::unique_ptr<ClickSubscription> subscribeClick(std::function<void()> onClick) override {
        if (alive().type != control_type::Button)
            throw Failure(status::InvalidArg, "only a button raises clicks");
        static int nextId = 0;
        const int id = ++nextId;
        c_->clickHandlers.emplace_back(id, std::move(onClick));
        return std::make_unique<Subscription>(c_, id);
    }

  private:
    MemoryControl& alive() {
        checkAlive(*c_);
        return *c_;
    }
    std::shared_ptr<MemoryControl> c_;
};

class Controls final : public CommandBarControls {
  public:
    explicit Controls(std::shared_ptr<MemoryControl> owner) : owner_(std::move(owner)) {}

    std::unique_ptr<CommandBarControl> item(const Value& index) override {
        checkAlive(*owner_);
        const auto live = liveChildren();
        if (index.isNumber()) {
            const double n = std::stod(index.toText());
            if (n < 1 || n > static_cast<double>(live.size()) || n != std::floor(n))
                throw Failure(status::InvalidArg, "no control at position " + index.toText());
            return std::make_unique<Control>(live[static_cast<std::size_t>(n) - 1]);
        }
        const std::string name = index.toText();
        auto found = resolve(live, name);
        if (!found)
            throw Failure(status::InvalidArg, "no control named '" + name + "' in '" + owner_->caption + "'");
        return std::make_unique<Control>(found);
    }
    std::vector<std::unique_ptr<CommandBarControl>> list() override {
        checkAlive(*owner_);
        std::vector<std::unique_ptr<CommandBarControl>> out;
        for (auto& c : liveChildren())
            out.push_back(std::make_unique<Control>(c));
        return out;
    }
    std::unique_ptr<CommandBarControl> add(int type, const std::optional<Value>& id,
                                           const std::optional<Value>& parameter,
                                           const std::optional<Value>& before,
                                           const std::optional<Value>& temporary) override {
        checkAlive(*owner_);
        if (type != control_type::Button && type != control_type::Popup)
            throw Failure(status::InvalidArg, "unsupported control type " + std::to_string(type));
        auto c = std::make_shared<MemoryControl>();
        c->type = type;
        c->id = id;
        c->parameter = parameter ? parameter->toText() : "";
        c->temporary = temporary ? temporary->toBoolean() : false;
        if (before) {
            const auto live = liveChildren();
            const double n = std::stod(before->toText());
            if (n < 1 || n > static_cast<double>(live.size()))
                throw Failure(status::InvalidArg, "no control at position " + before->toText());
            auto at = std::find(owner_->children.begin(), owner_->children.end(),
                                live[static_cast<std::size_t>(n) - 1]);
            owner_->children.insert(at, c);
        } else {
            owner_->children.push_back(c);
        }
        return std::make_unique<Control>(c);
    }

  private:
    std::vector<std::shared_ptr<MemoryControl>> liveChildren() const {
        std::vector<std::shared_ptr<MemoryControl>> out;
        std::copy_if(owner_->children.begin(), owner_->children.end(), std::back_inserter(out),
                     [](const auto& c) { return !c->deleted; });
        return out;
    }
    std::shared_ptr<MemoryControl> owner_;
};

std::unique_ptr<CommandBarControls> Control::controls() {
    if (alive().type != control_type::Popup)
        throw Failure(status::InvalidArg, "the control '" + c_->caption + "' has no controls");
    return std::make_unique<Controls>(c_);
}

class Bar final : public CommandBar {
  public:
    explicit Bar(std::shared_ptr<MemoryControl> bar) : bar_(std::move(bar)) {}
    std::unique_ptr<CommandBarControls> controls() override { return std::make_unique<Controls>(bar_); }

  private:
    std::shared_ptr<MemoryControl> bar_;
};

class Bars final : public CommandBars {
  public:
    explicit Bars(const MemoryCommandBars& model) : model_(model) {}
    std::unique_ptr<CommandBar> item(std::string_view name) override {
        auto bar = model_.bar(name);
        if (!bar)
            throw Failure(status::InvalidArg, "no command bar named '" + std::string(name) + "'");
        return std::make_unique<Bar>(bar);
    }

  private:
    const MemoryCommandBars& model_;
};

} // namespace

std::shared_ptr<MemoryControl> MemoryControl::childNamed(std::string_view name) const {
    return resolve(children, name);
}

MemoryControl& MemoryControl::add(int controlType, std::string controlCaption) {
    auto c = std::make_shared<MemoryControl>();
    c->type = controlType;
    c->caption = std::move(controlCaption);
    children.push_back(c);
    return *c;
}

MemoryControl& MemoryCommandBars::addBar(std::string name) {
    auto bar = std::make_shared<MemoryControl>();
    bar->caption = std::move(name);
    bars_.push_back(bar);
    return *bar;
}

std::shared_ptr<MemoryControl> MemoryCommandBars::bar(std::string_view name) const {
    return resolve(bars_, name);
}

std::unique_ptr<MemoryCommandBars> MemoryCommandBars::withEditorMenus() {
    auto bars = std::make_unique<MemoryCommandBars>();
    auto& menu = bars->addBar("Menu Bar");
    for (const char* caption : {"&File", "&Edit", "&View", "&Tools"})
        menu.add(control_type::Popup, caption);
    return bars;
}

std::unique_ptr<CommandBars> MemoryCommandBars::commandBars() {
    return std::make_unique<Bars>(*this);
}

void MemoryCommandBars::press(MemoryControl& button) {
    if (button.deleted)
        return;
    // A handler may end its own subscription while it runs.
    const auto handlers = button.clickHandlers;
    for (const auto& [id, handler] : handlers)
        handler();
}

void MemoryCommandBars::dropTemporary() {
    std::function<void(MemoryControl&)> drop = [&](MemoryControl& c) {
        for (auto& child : c.children) {
            if (child->temporary)
                child->deleted = true;
            drop(*child);
        }
    };
    for (auto& bar : bars_)
        drop(*bar);
}

bool MemoryCommandBars::nameMatches(std::string_view name, std::string_view caption) {
    const std::string n = normalised(name);
    const std::string c = normalised(caption);
    return !n.empty() && c.compare(0, n.size(), n) == 0;
}

} // namespace host::memory
