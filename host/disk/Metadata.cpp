#include "host/disk/Metadata.h"

#include "host/Failure.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace host::disk::metadata {
namespace {

struct Line {
    std::string text;
    std::string ending; // "\r\n", "\n", or "" for a last line without one
};

// Where the line that starts at `start` ends, and how long its ending is: "\r\n", "\n" or a lone "\r"
// (files written on old Macs); none at the end of the document.
std::pair<std::size_t, std::size_t> lineEnd(std::string_view document, std::size_t start) {
    const std::size_t end = document.find_first_of("\r\n", start);
    if (end == std::string_view::npos)
        return {document.size(), 0};
    if (document[end] == '\r' && end + 1 < document.size() && document[end + 1] == '\n')
        return {end, 2};
    return {end, 1};
}

std::vector<Line> splitLines(std::string_view document) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < document.size()) {
        const auto [end, endingSize] = lineEnd(document, start);
        lines.push_back({std::string(document.substr(start, end - start)),
                         std::string(document.substr(end, endingSize))});
        start = end + endingSize;
    }
    return lines;
}

// New lines follow whatever the file mostly uses; the editor itself writes CRLF.
std::string dominantEnding(const std::vector<Line>& lines) {
    std::size_t lf = 0, crlf = 0, cr = 0;
    for (const Line& l : lines) {
        lf += l.ending == "\n";
        crlf += l.ending == "\r\n";
        cr += l.ending == "\r";
    }
    if (cr > lf && cr > crlf)
        return "\r";
    return lf > crlf ? "\n" : "\r\n";
}

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string lowered(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return out;
}

std::string unescape(std::string_view raw, bool inName) {
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c != '\\' || i + 1 == raw.size()) {
            out += c;
            continue;
        }
        const char next = raw[i + 1];
        if (next == '\\' || (inName && next == ':'))
            out += next;
        else if (next == 'r')
            out += '\r';
        else if (next == 'n')
            out += '\n';
        else {
            // An escape the format does not define is kept as written rather than guessed at.
            out += c;
            continue;
        }
        ++i;
    }
    return out;
}

std::string escape(std::string_view text, bool inName) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (inName && c == ':')
            out += "\\:";
        else
            out += c;
    }
    return out;
}

template <class Visit> void forEachEntry(std::string_view document, Visit visit) {
    std::size_t start = 0;
    while (start < document.size()) {
        const auto [end, endingSize] = lineEnd(document, start);
        if (auto entry = parseLine(document.substr(start, end - start)); entry && visit(*entry))
            return;
        start = end + endingSize;
    }
}

} // namespace

std::optional<Entry> parseLine(std::string_view line) {
    std::size_t colon = 0;
    while (colon < line.size() && line[colon] != ':')
        colon += line[colon] == '\\' ? 2 : 1;
    if (colon == 0 || colon >= line.size() || line.size() < colon + 4)
        return std::nullopt;
    const char type = line[colon + 1];
    const char access = line[colon + 2];
    if (!isLetter(type) || !isLetter(access) || line[colon + 3] != '|')
        return std::nullopt;
    return Entry{unescapeName(line.substr(0, colon)), type, access, unescapeValue(line.substr(colon + 4))};
}

std::string escapeName(std::string_view name) {
    return escape(name, true);
}
std::string escapeValue(std::string_view value) {
    return escape(value, false);
}
std::string unescapeName(std::string_view raw) {
    return unescape(raw, true);
}
std::string unescapeValue(std::string_view raw) {
    return unescape(raw, false);
}

Value toValue(const Entry& entry) {
    const std::string& v = entry.value;
    const char* const first = v.data();
    const char* const last = v.data() + v.size();
    switch (entry.type) {
    case 'B': {
        const std::string word = lowered(v);
        if (word == "true" || word == "1")
            return Value::boolean(true);
        if (word == "false" || word == "0")
            return Value::boolean(false);
        break;
    }
    case 'I': {
        long long n = 0;
        if (auto [end, ec] = std::from_chars(first, last, n); ec == std::errc() && end == last && !v.empty())
            return Value::number(static_cast<double>(n));
        break;
    }
    case 'D': {
        double d = 0;
        if (auto [end, ec] = std::from_chars(first, last, d); ec == std::errc() && end == last && !v.empty())
            return Value::number(d);
        break;
    }
    default:
        break;
    }
    return Value::text(v);
}

std::string formatLine(std::string_view name, const Value& value) {
    if (name.empty())
        throw Failure(status::InvalidArg, "a property needs a name");
    char type = 'S';
    std::string text;
    if (value.isBoolean()) {
        type = 'B';
        text = value.toBoolean() ? "true" : "false";
    } else if (value.isNumber()) {
        // Value offers numbers only as the platform's text, which is also the precision it stores.
        text = value.toText();
        double d = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
        if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(d))
            throw Failure(status::InvalidArg,
                          "property '" + std::string(name) + "' cannot be stored as " + text);
        if (d == std::trunc(d) && std::fabs(d) < 9.2e18) {
            type = 'I';
            text = std::to_string(static_cast<long long>(d));
        } else {
            type = 'D';
        }
    } else if (value.isText()) {
        text = value.toText();
    } else {
        throw Failure(status::InvalidArg,
                      "property '" + std::string(name) + "' cannot be stored as " + describe(value));
    }
    return escapeName(name) + ":" + type + "W|" + escapeValue(text);
}

Value lookup(std::string_view document, std::string_view name) {
    Value found;
    forEachEntry(document, [&](const Entry& entry) {
        if (entry.name != name)
            return false;
        found = toValue(entry);
        return true;
    });
    return found;
}

bool contains(std::string_view document, std::string_view name) {
    bool found = false;
    forEachEntry(document, [&](const Entry& entry) { return found = entry.name == name; });
    return found;
}

std::optional<std::string> rewrite(std::optional<std::string_view> current,
                                   const std::vector<Change>& changes) {
    const bool anySet =
        std::any_of(changes.begin(), changes.end(), [](const Change& c) { return c.value.has_value(); });
    if (!current && !anySet)
        return std::nullopt;
    const std::string base = current ? std::string(*current) : std::string(Header) + "\r\n";
    std::vector<Line> lines = splitLines(base);
    const std::string ending = dominantEnding(lines);

    for (const Change& change : changes) {
        auto named = [&](const Line& line) {
            const auto entry = parseLine(line.text);
            return entry && entry->name == change.name;
        };
        // A document whose last line has no line ending keeps it so, whatever line is last.
        const bool unterminated = !lines.empty() && lines.back().ending.empty();
        if (!change.value) {
            std::erase_if(lines, named);
            // (An empty line keeps its ending: without one it would be no line at all.)
            if (unterminated && !lines.empty() && !lines.back().text.empty())
                lines.back().ending.clear();
            continue;
        }
        std::string text = formatLine(change.name, *change.value);
        const auto first = std::find_if(lines.begin(), lines.end(), named);
        if (first != lines.end()) {
            first->text = std::move(text);
            // Later duplicates would contradict the new value for any reader that takes the last line.
            lines.erase(std::remove_if(std::next(first), lines.end(), named), lines.end());
            continue;
        }
        if (unterminated)
            lines.back().ending = ending;
        lines.push_back({std::move(text), unterminated ? std::string() : ending});
    }

    std::string out;
    out.reserve(base.size() + 64);
    for (const Line& line : lines)
        out += line.text + line.ending;
    if (out == base)
        return std::nullopt;
    return out;
}

} // namespace host::disk::metadata
