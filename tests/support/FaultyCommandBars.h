#pragma once

#include "host/CommandBars.h"
#include "host/Failure.h"
#include "host/WebModel.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// Stands between the add-in and a host's command bars: records every command-bar call, makes the n-th
// one fail, and counts the objects it hands out that are still alive.
struct CommandBarCalls {
    std::vector<std::string> calls;
    std::size_t failAt = 0; // 1 = the first call; 0 = none
    std::size_t live = 0;

    void enter(const std::string& call) {
        calls.push_back(call);
        if (calls.size() == failAt)
            throw host::Failure(host::status::Injected, "injected failure of " + call);
    }
};

namespace faulty {

struct Counted {
    explicit Counted(CommandBarCalls& log) : log_(log) { ++log_.live; }
    ~Counted() { --log_.live; }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;
    CommandBarCalls& log_;
};

std::unique_ptr<host::CommandBarControl> wrap(CommandBarCalls& log,
                                              std::unique_ptr<host::CommandBarControl> c);

struct Subscription final : host::ClickSubscription, Counted {
    Subscription(CommandBarCalls& log, std::unique_ptr<host::ClickSubscription> inner)
        : Counted(log), inner_(std::move(inner)) {}
    std::unique_ptr<host::ClickSubscription> inner_;
};

struct Controls final : host::CommandBarControls, Counted {
    Controls(CommandBarCalls& log, std::unique_ptr<host::CommandBarControls> inner)
        : Counted(log), inner_(std::move(inner)) {}
    std::unique_ptr<host::CommandBarControl> item(const host::Value& index) override {
        log_.enter("Controls.item " + index.toText());
        return wrap(log_, inner_->item(index));
    }
    std::vector<std::unique_ptr<host::CommandBarControl>> list() override {
        log_.enter("Controls.list");
        std::vector<std::unique_ptr<host::CommandBarControl>> out;
        for (auto& c : inner_->list())
            out.push_back(wrap(log_, std::move(c)));
        return out;
    }
    std::unique_ptr<host::CommandBarControl> add(int type, const std::optional<host::Value>& id,
                                                 const std::optional<host::Value>& parameter,
                                                 const std::optional<host::Value>& before,
                                                 const std::optional<host::Value>& temporary) override {
        log_.enter("Controls.add " + std::to_string(type));
        return wrap(log_, inner_->add(type, id, parameter, before, temporary));
    }
    std::unique_ptr<host::CommandBarControls> inner_;
};

struct Control final : host::CommandBarControl, Counted {
    Control(CommandBarCalls& log, std::unique_ptr<host::CommandBarControl> inner)
        : Counted(log), inner_(std::move(inner)) {}
    int type() override {
        log_.enter("Control.type");
        return inner_->type();
    }
    std::string caption() override {
        log_.enter("Control.caption");
        return inner_->caption();
    }
    void setCaption(std::string_view caption) override {
        log_.enter("Control.setCaption " + std::string(caption));
        inner_->setCaption(caption);
    }
    std::string tag() override {
        log_.enter("Control.tag");
        return inner_->tag();
    }
    void setTag(std::string_view tag) override {
        log_.enter("Control.setTag " + std::string(tag));
        inner_->setTag(tag);
    }
    std::string parameter() override {
        log_.enter("Control.parameter");
        return inner_->parameter();
    }
    std::unique_ptr<host::CommandBarControls> controls() override {
        log_.enter("Control.controls");
        return std::make_unique<Controls>(log_, inner_->controls());
    }
    void remove() override {
        log_.enter("Control.remove");
        inner_->remove();
    }
    std::unique_ptr<host::ClickSubscription> subscribeClick(std::function<void()> onClick) override {
        log_.enter("Control.subscribeClick");
        return std::make_unique<Subscription>(log_, inner_->subscribeClick(std::move(onClick)));
    }
    std::unique_ptr<host::CommandBarControl> inner_;
};

inline std::unique_ptr<host::CommandBarControl> wrap(CommandBarCalls& log,
                                                     std::unique_ptr<host::CommandBarControl> c) {
    return std::make_unique<Control>(log, std::move(c));
}

struct Bar final : host::CommandBar, Counted {
    Bar(CommandBarCalls& log, std::unique_ptr<host::CommandBar> inner)
        : Counted(log), inner_(std::move(inner)) {}
    std::unique_ptr<host::CommandBarControls> controls() override {
        log_.enter("CommandBar.controls");
        return std::make_unique<Controls>(log_, inner_->controls());
    }
    std::unique_ptr<host::CommandBar> inner_;
};

struct Bars final : host::CommandBars, Counted {
    Bars(CommandBarCalls& log, std::unique_ptr<host::CommandBars> inner)
        : Counted(log), inner_(std::move(inner)) {}
    std::unique_ptr<host::CommandBar> item(std::string_view name) override {
        log_.enter("CommandBars.item " + std::string(name));
        return std::make_unique<Bar>(log_, inner_->item(name));
    }
    std::unique_ptr<host::CommandBars> inner_;
};

} // namespace faulty

// The host application with its command bars behind the recorder; everything else passes through.
class FaultyBarsApplication final : public host::Application {
  public:
    FaultyBarsApplication(host::Application& inner, CommandBarCalls& log) : inner_(inner), log_(log) {}
    std::unique_ptr<host::CommandBars> commandBars() override {
        log_.enter("Application.commandBars");
        return std::make_unique<faulty::Bars>(log_, inner_.commandBars());
    }
    std::unique_ptr<host::Web> activeWeb() override { return inner_.activeWeb(); }
    std::string relativeUrl(host::Folder& base, std::string_view url) override {
        return inner_.relativeUrl(base, url);
    }

  private:
    host::Application& inner_;
    CommandBarCalls& log_;
};

} // namespace testsupport
