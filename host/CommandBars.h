#pragma once

#include "host/Value.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The host's menus: Office-style command bars, reached by name. Every call either returns or throws
// host::Failure; every object is owned by the caller for one step.
namespace host {

namespace control_type {
inline constexpr int Button = 1; // msoControlButton
inline constexpr int Popup = 10; // msoControlPopup
} // namespace control_type

class CommandBarControl;

// Ends a click subscription when destroyed.
class ClickSubscription {
  public:
    virtual ~ClickSubscription() = default;
};

class CommandBarControls {
  public:
    virtual ~CommandBarControls() = default;
    // By position (a number, 1 for the first) or by name (a text, resolved as the host resolves names).
    // Fails when there is no such control.
    virtual std::unique_ptr<CommandBarControl> item(const Value& index) = 0;
    // Every control in collection order.
    virtual std::vector<std::unique_ptr<CommandBarControl>> list() = 0;
    // Adds a control at the end (before: none). An argument left out is the dispatch convention's missing
    // marker.
    virtual std::unique_ptr<CommandBarControl> add(int type, const std::optional<Value>& id,
                                                   const std::optional<Value>& parameter,
                                                   const std::optional<Value>& before,
                                                   const std::optional<Value>& temporary) = 0;
};

class CommandBarControl {
  public:
    virtual ~CommandBarControl() = default;
    virtual int type() = 0;
    virtual std::string caption() = 0;
    virtual void setCaption(std::string_view caption) = 0;
    virtual std::string tag() = 0;
    virtual void setTag(std::string_view tag) = 0;
    virtual std::string parameter() = 0;
    // A popup's own controls ("Controls"); fails on a control that has none.
    virtual std::unique_ptr<CommandBarControls> controls() = 0;
    // Removes the control, with everything in it, from the host's menus ("Delete").
    virtual void remove() = 0;
    // A button's click reaches `onClick` until the subscription is destroyed.
    virtual std::unique_ptr<ClickSubscription> subscribeClick(std::function<void()> onClick) = 0;
};

class CommandBar {
  public:
    virtual ~CommandBar() = default;
    virtual std::unique_ptr<CommandBarControls> controls() = 0;
};

class CommandBars {
  public:
    virtual ~CommandBars() = default;
    // The command bar with that name; fails when there is none.
    virtual std::unique_ptr<CommandBar> item(std::string_view name) = 0;
};

} // namespace host
