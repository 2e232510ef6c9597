#include "links/UrlResolver.h"

#include <cctype>
#include <vector>

namespace links {
namespace {

bool isUrlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// As a browser cleans an attribute's URL: outer white space trimmed, tabs and line breaks inside
// dropped, and "\" taken as "/".
std::string clean(std::string_view url) {
    while (!url.empty() && isUrlSpace(url.front()))
        url.remove_prefix(1);
    while (!url.empty() && isUrlSpace(url.back()))
        url.remove_suffix(1);
    std::string out;
    for (char c : url) {
        if (c == '\t' || c == '\n' || c == '\r')
            continue;
        out += c == '\\' ? '/' : c;
    }
    return out;
}

bool hasScheme(std::string_view url) {
    if (url.empty() || !std::isalpha(static_cast<unsigned char>(url[0])))
        return false;
    for (char c : url.substr(1)) {
        if (c == ':')
            return true;
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return false;
}

// Leaves the web: another scheme or another host.
bool leavesTheWeb(std::string_view url) {
    return hasScheme(url) || url.starts_with("//");
}

std::string_view withoutQueryAndFragment(std::string_view url) {
    return url.substr(0, url.find_first_of("?#"));
}

std::string folderOf(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

// A name as the server's file system would look it up. One whose decoding holds a "/" or a NUL names no
// file anywhere, and decoded it could read as a path (even an absolute one): it stays as written.
std::string decodedName(std::string_view raw) {
    std::string name = percentDecode(raw);
    if (name.find('/') != std::string::npos || name.find('\0') != std::string::npos)
        return std::string(raw);
    return name;
}

// Joins a reference to the folder it is relative to ("" for the web, else ending in "/") and removes
// the "." and ".." steps. Names are decoded after splitting.
std::string normalise(const std::string& folder, std::string_view reference) {
    std::string joined =
        reference.starts_with('/') ? std::string(reference.substr(1)) : folder + std::string(reference);
    std::vector<std::string> steps;
    std::size_t start = 0;
    while (true) {
        const auto slash = joined.find('/', start);
        const std::string name = decodedName(std::string_view(joined).substr(
            start, slash == std::string::npos ? std::string::npos : slash - start));
        if (name == "..") {
            if (!steps.empty())
                steps.pop_back();
        } else if (!name.empty() && name != ".") {
            steps.push_back(name);
        }
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    if (steps.empty())
        return ".";
    std::string out = steps.front();
    for (std::size_t i = 1; i < steps.size(); ++i)
        out += "/" + steps[i];
    return out;
}

} // namespace

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::optional<std::string> resolve(std::string_view page, std::string_view url,
                                   std::optional<std::string_view> baseHref) {
    const std::string cleaned = clean(url);
    if (leavesTheWeb(cleaned))
        return std::nullopt;
    const std::string_view reference = withoutQueryAndFragment(cleaned);
    // "", "#top" and "?page=2" all name the page itself.
    if (reference.empty())
        return std::nullopt;

    std::string folder = folderOf(page);
    if (baseHref) {
        const std::string base = clean(*baseHref);
        if (leavesTheWeb(base))
            return std::nullopt;
        const std::string_view basePath = withoutQueryAndFragment(base);
        if (!basePath.empty()) {
            // The base's own folder part, resolved like any link of the page.
            const std::string baseFolder = folderOf(basePath);
            if (!baseFolder.empty()) {
                const std::string resolved = normalise(folder, baseFolder);
                folder = resolved == "." ? std::string() : resolved + "/";
            }
        }
    }
    return normalise(folder, reference);
}

} // namespace links
