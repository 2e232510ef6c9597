#pragma once

#include "app/terminal/ModalScreen.h"
#include "app/terminal/Text.h"
#include "host/memory/MemoryCommandBars.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace terminal {

using host::memory::MemoryControl;

enum class HostCommand { None, OpenWeb, CloseWeb, Exit };

struct MenuItem {
    Caption caption;
    bool enabled = true;
    HostCommand command = HostCommand::None;
    std::shared_ptr<MemoryControl> control; // a control of the host's command bars

    bool isPopup() const { return control && control->type == host::control_type::Popup; }
};

struct BarMenu {
    Caption title;
    std::vector<MenuItem> hostItems; // the host's own, before the command bar's
    std::shared_ptr<MemoryControl> control;
    int x = 0;
    int width = 0;
};

// The entries of a command bar's popup control that are still there, in order.
std::vector<MenuItem> itemsOf(const MemoryControl& popup);

// The menu bar's menus opened from one title: the open menu and its open submenus, moved through by keys
// and the mouse until an entry is chosen or the menus are left.
class MenuScreen final : public ModalScreen {
  public:
    // `bars` gives the menu bar as it is now; a menu of `bar` opens at once unless the bar has none.
    MenuScreen(Screen& screen, std::function<std::vector<BarMenu>()> bars, std::size_t bar);

    bool opened() const { return !levels_.empty(); }
    // The entry chosen, or none when the menus were left.
    const std::optional<MenuItem>& chosen() const { return chosen_; }

    std::string hints(const Screen& screen) const override;
    std::optional<std::size_t> openBarTitle() const override { return bar_; }
    bool draw(Screen& screen) override;
    bool key(Screen& screen, const Key& key) override;

  private:
    struct Level {
        std::vector<MenuItem> items;
        int selected = 0;
        int top = 1, left = 0, width = 0;
    };

    Level placed(std::vector<MenuItem> items, int top, int left) const;
    bool openBar(std::size_t index);
    void openSub();
    static void move(Level& level, int step);
    // Enter on the selected entry: a popup opens, a command is chosen (true).
    bool choose();
    bool mouse(const Key& key);

    Screen& screen_;
    std::function<std::vector<BarMenu>()> bars_;
    std::size_t bar_;
    std::vector<Level> levels_;
    std::optional<MenuItem> chosen_;
};

} // namespace terminal
