#pragma once

#include "host/Value.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The editor keeps each item's properties in a small text file of its own, in a "_vti_cnf" folder beside
// the item. This module is the only one that knows that format and touches those files, so the rest of
// the disk host never has to reason about escapes, line endings or partial writes.
namespace host::disk::metadata {

inline constexpr std::string_view FolderName = "_vti_cnf";
inline constexpr std::string_view FolderInfoName = ".fp_folder_info"; // a folder's own properties
inline constexpr std::string_view Header = "vti_encoding:SR|utf8-nl";

// One property line as stored: "name:TA|value" with T the type letter and A the access letter.
struct Entry {
    std::string name; // unescaped
    char type = 'S';
    char access = 'R';
    std::string value; // unescaped
};

// A line without its line ending; none when it is not a property line.
std::optional<Entry> parseLine(std::string_view line);

std::string escapeName(std::string_view name);
std::string escapeValue(std::string_view value);
std::string unescapeName(std::string_view raw);
std::string unescapeValue(std::string_view raw);

// The value as the item's properties hand it out: Booleans, numbers and text by the type letter.
Value toValue(const Entry& entry);

// The line (without ending) the add-in writes for a value. Empty, Null and numbers that are not finite
// have no stored form: Failure.
std::string formatLine(std::string_view name, const Value& value);

// The property's value in a metadata document; Empty when no line names it. The first line wins.
Value lookup(std::string_view document, std::string_view name);
bool contains(std::string_view document, std::string_view name);

// A pending change: a new value, or removal when there is none.
struct Change {
    std::string name;
    std::optional<Value> value;
};

// The document after the changes, every untouched line kept byte for byte; none when the result is what
// is stored already. current is none when the item has no metadata file yet.
std::optional<std::string> rewrite(std::optional<std::string_view> current,
                                   const std::vector<Change>& changes);

} // namespace host::disk::metadata
