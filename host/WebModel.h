#pragma once

#include "host/Value.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The editor's web object model as the add-in sees it. Every operation either returns its result or
// throws host::Failure; every object handed out is owned by the caller for one step.
namespace host {

// The pages a server shows for a folder, in the order it looks for them; a web on disk takes the first of
// them in its top folder as its home page.
inline constexpr std::array<std::string_view, 4> HomePageNames{"index.htm", "index.html", "default.htm",
                                                               "default.html"};

// A named-property collection of one file or folder. Pending changes belong to the item, not to this
// object: a change made through one collection is applied through another obtained later.
class Properties {
  public:
    virtual ~Properties() = default;
    // The property's value; an absent property is Empty (or the call fails).
    virtual Value item(std::string_view name) = 0;
    virtual void set(std::string_view name, const Value& value) = 0;
    // Fails when the property is absent.
    virtual void remove(std::string_view name) = 0;
    // Commits the item's pending changes to the web.
    virtual void apply() = 0;
};

// What every file or folder offers, and what the web's locate operation returns.
class Item {
  public:
    virtual ~Item() = default;
    virtual std::string url() = 0;
    virtual std::unique_ptr<Properties> properties() = 0;
};

class File : public Item {
  public:
    // The extension as the host gives it: without the dot, "" when there is none.
    virtual std::string extension() = 0;
};

class Folder : public Item {
  public:
    // In the host's order, which is the display order.
    virtual std::vector<std::unique_ptr<Folder>> folders() = 0;
    virtual std::vector<std::unique_ptr<File>> files() = 0;
};

class Web {
  public:
    virtual ~Web() = default;
    virtual std::string url() = 0;
    virtual std::unique_ptr<Folder> rootFolder() = 0;
    // The URL of the web's home page, or none when the web has no home page.
    virtual std::optional<std::string> homePageUrl() = 0;
    // The file or folder at a location, or none when nothing is there.
    virtual std::unique_ptr<Item> locate(std::string_view location) = 0;
};

class CommandBars;

class Application {
  public:
    virtual ~Application() = default;
    // The host's menus. A host without menus (the command-line tools) fails.
    virtual std::unique_ptr<CommandBars> commandBars();
    // The web open in the host, or none.
    virtual std::unique_ptr<Web> activeWeb() = 0;
    // The URL made relative to the base folder; for an item directly inside it, the item's name.
    virtual std::string relativeUrl(Folder& base, std::string_view url) = 0;
};

} // namespace host
