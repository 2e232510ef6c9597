#include "links/LinkScanner.h"

#include <cctype>
#include <gumbo.h>
#include <memory>

namespace links {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isHex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i])
            return false;
    }
    return true;
}

void appendUtf8(std::string& out, unsigned long cp) {
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// A CSS escape starting after the backslash at css[i]; returns the index after it.
std::size_t unescapeCss(std::string_view css, std::size_t i, std::string& out) {
    if (i >= css.size())
        return i;
    if (!isHex(css[i])) {
        if (css[i] != '\n')
            out += css[i];
        return i + 1;
    }
    std::size_t end = i;
    while (end < css.size() && end - i < 6 && isHex(css[end]))
        ++end;
    appendUtf8(out, std::stoul(std::string(css.substr(i, end - i)), nullptr, 16));
    if (end < css.size() && isSpace(css[end]))
        ++end; // one white space ends a hex escape
    return end;
}

// A quoted CSS string starting at the quote css[i]; returns the index after the closing quote.
std::size_t readCssString(std::string_view css, std::size_t i, std::string& out) {
    const char quote = css[i++];
    while (i < css.size() && css[i] != quote && css[i] != '\n') {
        if (css[i] == '\\')
            i = unescapeCss(css, i + 1, out);
        else
            out += css[i++];
    }
    return i < css.size() ? i + 1 : i;
}

// After "url(": the URL, quoted or not; returns the index after the closing parenthesis.
std::size_t readCssUrl(std::string_view css, std::size_t i, std::string& out) {
    while (i < css.size() && isSpace(css[i]))
        ++i;
    if (i < css.size() && (css[i] == '"' || css[i] == '\'')) {
        i = readCssString(css, i, out);
    } else {
        while (i < css.size() && css[i] != ')' && !isSpace(css[i])) {
            if (css[i] == '\\')
                i = unescapeCss(css, i + 1, out);
            else
                out += css[i++];
        }
    }
    while (i < css.size() && css[i] != ')')
        ++i;
    return i < css.size() ? i + 1 : i;
}

void collectCss(std::string_view css, std::vector<std::string>& urls) {
    std::size_t i = 0;
    while (i < css.size()) {
        const char c = css[i];
        if (c == '/' && i + 1 < css.size() && css[i + 1] == '*') {
            const auto end = css.find("*/", i + 2);
            i = end == std::string_view::npos ? css.size() : end + 2;
        } else if (c == '"' || c == '\'') {
            std::string ignored; // a string outside url() and @import is no link (content: "...")
            i = readCssString(css, i, ignored);
        } else if ((c == 'u' || c == 'U') && startsWithNoCase(css.substr(i), "url(") &&
                   (i == 0 || !(std::isalnum(static_cast<unsigned char>(css[i - 1])) || css[i - 1] == '-'))) {
            std::string url;
            i = readCssUrl(css, i + 4, url);
            urls.push_back(std::move(url));
        } else if (c == '@' && startsWithNoCase(css.substr(i), "@import")) {
            i += 7;
            while (i < css.size() && isSpace(css[i]))
                ++i;
            if (i < css.size() && (css[i] == '"' || css[i] == '\'')) {
                std::string url;
                i = readCssString(css, i, url);
                urls.push_back(std::move(url));
            }
        } else if (c == '\\') {
            std::string ignored;
            i = unescapeCss(css, i + 1, ignored);
        } else {
            ++i;
        }
    }
}

const char* attribute(const GumboElement& element, const char* name) {
    const GumboAttribute* a = gumbo_get_attribute(&element.attributes, name);
    return a == nullptr ? nullptr : a->value;
}

void collectElement(const GumboElement& element, PageReferences& refs) {
    const GumboTag tag = element.tag;
    if (tag == GUMBO_TAG_BASE) {
        if (const char* href = attribute(element, "href"); href != nullptr && !refs.baseHref)
            refs.baseHref = href;
    } else if (const char* href = attribute(element, "href")) {
        refs.urls.emplace_back(href);
    }
    for (const char* name : {"src", "background", "action", "poster"}) {
        if (const char* value = attribute(element, name))
            refs.urls.emplace_back(value);
    }
    // "data" names a resource only on <object>; elsewhere it is an ordinary attribute.
    if (tag == GUMBO_TAG_OBJECT) {
        if (const char* data = attribute(element, "data"))
            refs.urls.emplace_back(data);
    }
    if (const char* srcset = attribute(element, "srcset")) {
        for (auto& url : scanSrcset(srcset))
            refs.urls.push_back(std::move(url));
    }
    if (const char* style = attribute(element, "style"))
        collectCss(style, refs.urls);
    if (tag == GUMBO_TAG_STYLE) {
        for (unsigned i = 0; i < element.children.length; ++i) {
            const auto* child = static_cast<const GumboNode*>(element.children.data[i]);
            if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_CDATA)
                collectCss(child->v.text.text, refs.urls);
        }
    }
}

struct OutputDeleter {
    void operator()(GumboOutput* output) const { gumbo_destroy_output(&kGumboDefaultOptions, output); }
};

} // namespace

PageReferences scanHtml(std::string_view html) {
    PageReferences refs;
    std::unique_ptr<GumboOutput, OutputDeleter> output(
        gumbo_parse_with_options(&kGumboDefaultOptions, html.data(), html.size()));
    if (!output)
        return refs;
    // Iterative, so that a page nested thousands of elements deep cannot exhaust the stack.
    std::vector<const GumboNode*> pending{output->root};
    while (!pending.empty()) {
        const GumboNode* node = pending.back();
        pending.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
            continue;
        const GumboElement& element = node->v.element;
        collectElement(element, refs);
        for (unsigned i = element.children.length; i-- > 0;)
            pending.push_back(static_cast<const GumboNode*>(element.children.data[i]));
    }
    return refs;
}

std::vector<std::string> scanCss(std::string_view css) {
    std::vector<std::string> urls;
    collectCss(css, urls);
    return urls;
}

std::vector<std::string> scanSrcset(std::string_view srcset) {
    // A candidate is a URL up to white space, then descriptors up to a comma outside parentheses.
    std::vector<std::string> urls;
    std::size_t i = 0;
    while (i < srcset.size()) {
        while (i < srcset.size() && (isSpace(srcset[i]) || srcset[i] == ','))
            ++i;
        const std::size_t start = i;
        while (i < srcset.size() && !isSpace(srcset[i]))
            ++i;
        std::string_view url = srcset.substr(start, i - start);
        bool endedByComma = false;
        while (!url.empty() && url.back() == ',') {
            url.remove_suffix(1);
            endedByComma = true;
        }
        if (!url.empty())
            urls.emplace_back(trim(url));
        if (endedByComma)
            continue;
        int depth = 0;
        while (i < srcset.size() && !(srcset[i] == ',' && depth == 0)) {
            if (srcset[i] == '(')
                ++depth;
            else if (srcset[i] == ')' && depth > 0)
                --depth;
            ++i;
        }
    }
    return urls;
}

} // namespace links
