#pragma once

#include "host/CommandBars.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The host's menus held in memory, for tests and the terminal host. Names resolve as the editor resolves
// them: letter case and "&" are ignored, and a name may be only the beginning of a caption.
namespace host::memory {

struct MemoryControl {
    int type = 0; // a command bar itself is 0
    std::string caption;
    std::string tag;
    std::string parameter;
    std::optional<Value> id;
    bool temporary = false;
    bool deleted = false;
    std::vector<std::shared_ptr<MemoryControl>> children;
    std::vector<std::pair<int, std::function<void()>>> clickHandlers;

    // The first child whose caption the name resolves to, or null.
    std::shared_ptr<MemoryControl> childNamed(std::string_view name) const;
    MemoryControl& add(int controlType, std::string controlCaption); // for building menus in tests
};

class MemoryCommandBars {
  public:
    // The command bar a name resolves to, or null. Bars are made with addBar.
    MemoryControl& addBar(std::string name);
    std::shared_ptr<MemoryControl> bar(std::string_view name) const;

    // A menu bar as the editor has it: "Menu Bar" with the popups "&File", "&Edit", "&View", "&Tools".
    static std::unique_ptr<MemoryCommandBars> withEditorMenus();

    // The port object handed to the add-in.
    std::unique_ptr<CommandBars> commandBars();

    // The user presses a button: its click subscribers run, in the order they subscribed.
    void press(MemoryControl& button);

    // Drops the temporary controls, as the host does when it closes.
    void dropTemporary();

    // True when `name` resolves to `caption`: exactly once "&" and letter case are ignored, or as the
    // beginning of it.
    static bool nameMatches(std::string_view name, std::string_view caption);

  private:
    std::vector<std::shared_ptr<MemoryControl>> bars_;
};

} // namespace host::memory
