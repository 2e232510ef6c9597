#include "links/LinkScanner.h"

#include "text/Utf8.h"

#include <algorithm>
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
    out += text::encodeUtf8(static_cast<char32_t>(cp));
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

PageReferences parse(std::string_view html) {
    PageReferences refs;
    // The parse errors are never read; recorded, each holds a copy of the open elements, which on a
    // deeply nested page grows with the square of its size.
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    std::unique_ptr<GumboOutput, OutputDeleter> output(
        gumbo_parse_with_options(&options, html.data(), html.size()));
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

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && startsWithNoCase(a, b);
}

// A tag as the HTML tokenizer sees it, before any tree is built.
struct Tag {
    GumboTag tag;
    std::string_view name; // as written
    bool end;
    bool selfClosing;
    bool hasAttributes;
    std::string_view text; // from "<" to ">"
    std::string_view raw;  // the text of <style>, <script>, <textarea> and the like up to their end tag
};

bool holdsRawText(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_TITLE:
        return true;
    default:
        return false;
    }
}

// Where the tag starting at html[i] ("<" then a letter, or "</" then a letter) ends, as the tokenizer
// splits it: quoted values may hold ">". npos when the page ends inside it, which drops it.
std::size_t readTag(std::string_view html, std::size_t i, Tag& tag) {
    const std::size_t n = html.size();
    tag.end = html[i + 1] == '/';
    std::size_t j = i + (tag.end ? 2 : 1);
    const std::size_t nameStart = j;
    while (j < n && !isSpace(html[j]) && html[j] != '/' && html[j] != '>')
        ++j;
    tag.name = html.substr(nameStart, j - nameStart);
    tag.tag = gumbo_tagn_enum(tag.name.data(), static_cast<unsigned>(tag.name.size()));
    tag.hasAttributes = false;
    tag.selfClosing = false;
    while (j < n) {
        const char c = html[j];
        if (c == '>') {
            tag.text = html.substr(i, j + 1 - i);
            return j + 1;
        }
        if (isSpace(c) || c == '/') {
            tag.selfClosing = c == '/' && j + 1 < n && html[j + 1] == '>';
            ++j;
            continue;
        }
        tag.hasAttributes = true;
        ++j; // a name may begin with "="
        while (j < n && !isSpace(html[j]) && html[j] != '/' && html[j] != '>' && html[j] != '=')
            ++j;
        while (j < n && isSpace(html[j]))
            ++j;
        if (j >= n || html[j] != '=')
            continue;
        ++j;
        while (j < n && isSpace(html[j]))
            ++j;
        if (j < n && (html[j] == '"' || html[j] == '\'')) {
            const auto close = html.find(html[j], j + 1);
            if (close == std::string_view::npos)
                return std::string_view::npos;
            j = close + 1;
        } else {
            while (j < n && !isSpace(html[j]) && html[j] != '>')
                ++j;
        }
    }
    return std::string_view::npos;
}

// Calls onTag for every start and end tag of the page in order, skipping text, comments and doctypes.
template <class OnTag> void forEachTag(std::string_view html, OnTag&& onTag) {
    const std::size_t n = html.size();
    std::size_t i = 0;
    while ((i = html.find('<', i)) != std::string_view::npos && i + 1 < n) {
        const char c = html[i + 1];
        if (c == '!' && html.substr(i).starts_with("<!--")) {
            std::size_t j = i + 4;
            if (j < n && html[j] == '>')
                i = j + 1;
            else if (html.substr(j).starts_with("->"))
                i = j + 2;
            else {
                const auto close = std::min(html.find("-->", j), html.find("--!>", j));
                i = close == std::string_view::npos ? n : html.find('>', close) + 1;
            }
        } else if (c == '!' || c == '?' || (c == '/' && !(i + 2 < n && isAlpha(html[i + 2])))) {
            const auto close = html.find('>', i + 1); // "</>" too
            i = close == std::string_view::npos ? n : close + 1;
        } else if (isAlpha(c) || c == '/') {
            Tag tag{};
            const std::size_t next = readTag(html, i, tag);
            if (next == std::string_view::npos)
                return;
            i = next;
            if (!tag.end && tag.tag == GUMBO_TAG_PLAINTEXT) {
                i = n;
            } else if (!tag.end && holdsRawText(tag.tag)) {
                std::size_t close = i;
                while ((close = html.find("</", close)) != std::string_view::npos) {
                    const std::size_t after = close + 2 + tag.name.size();
                    if (after <= n && equalNoCase(html.substr(close + 2, tag.name.size()), tag.name) &&
                        (after == n || isSpace(html[after]) || html[after] == '/' || html[after] == '>'))
                        break;
                    close += 2;
                }
                if (close == std::string_view::npos)
                    close = n;
                tag.raw = html.substr(i, close - i);
                i = close;
            }
            onTag(tag);
        } else {
            ++i;
        }
    }
}

bool isFormatting(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_A:
    case GUMBO_TAG_B:
    case GUMBO_TAG_BIG:
    case GUMBO_TAG_CODE:
    case GUMBO_TAG_EM:
    case GUMBO_TAG_FONT:
    case GUMBO_TAG_I:
    case GUMBO_TAG_NOBR:
    case GUMBO_TAG_S:
    case GUMBO_TAG_SMALL:
    case GUMBO_TAG_STRIKE:
    case GUMBO_TAG_STRONG:
    case GUMBO_TAG_TT:
    case GUMBO_TAG_U:
        return true;
    default:
        return false;
    }
}

bool isVoid(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_AREA:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_BASEFONT:
    case GUMBO_TAG_BGSOUND:
    case GUMBO_TAG_BR:
    case GUMBO_TAG_COL:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_IMAGE:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_ISINDEX:
    case GUMBO_TAG_KEYGEN:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_META:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_TRACK:
    case GUMBO_TAG_WBR:
    // Made once, or not at all, whatever their number.
    case GUMBO_TAG_HTML:
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_BODY:
        return true;
    default:
        return false;
    }
}

// Elements an end tag of another element cannot reach past.
bool isScopeBoundary(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_APPLET:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
    case GUMBO_TAG_MARQUEE:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_BUTTON:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_SVG:
    case GUMBO_TAG_MATH:
        return true;
    default:
        return false;
    }
}

// Elements that block-level markup opens; an end tag of a phrase element never closes one.
bool isSpecial(GumboTag tag) {
    if (isScopeBoundary(tag))
        return true;
    switch (tag) {
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_COLGROUP:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_DETAILS:
    case GUMBO_TAG_DIR:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_FRAMESET:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_HGROUP:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_LISTING:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_MENU:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_P:
    case GUMBO_TAG_PLAINTEXT:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_SUMMARY:
    case GUMBO_TAG_TBODY:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_TFOOT:
    case GUMBO_TAG_THEAD:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_UL:
    case GUMBO_TAG_XMP:
        return true;
    default:
        return false;
    }
}

bool closesParagraph(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_P:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_PLAINTEXT:
        return true;
    default:
        return isSpecial(tag) && !isScopeBoundary(tag) && tag != GUMBO_TAG_LI && tag != GUMBO_TAG_DD &&
               tag != GUMBO_TAG_DT && !holdsRawText(tag) && tag != GUMBO_TAG_NOSCRIPT &&
               tag != GUMBO_TAG_TR && tag != GUMBO_TAG_TBODY && tag != GUMBO_TAG_THEAD &&
               tag != GUMBO_TAG_TFOOT && tag != GUMBO_TAG_COLGROUP && tag != GUMBO_TAG_FRAMESET;
    }
}

// How deep the page's elements nest, followed as a browser closes them closely enough to bound the
// parse: optional end tags (<p>, <li>, <td>, <option>, ...) implied, a phrase end tag not reaching past
// a block, a formatting element closed early counted until its own end tag, since the parser opens it
// again, at most three alike as the parser keeps them. Stops counting once past the limit.
bool nestsDeeperThan(std::string_view html, std::size_t limit) {
    struct Open {
        GumboTag tag;
        std::string_view name;
        std::string_view attributes; // as written, which tells formatting elements alike closely enough
    };
    std::vector<Open> open;
    std::vector<Open> reopened; // formatting elements closed by another element's end
    bool tooDeep = false;
    auto same = [](const Open& o, const Tag& t) {
        return o.tag == t.tag && (t.tag != GUMBO_TAG_UNKNOWN || equalNoCase(o.name, t.name));
    };
    // The innermost open element matching; open.size() when there is none, one more when a stopping
    // element lies above it.
    auto find = [&](auto matches, auto stops) -> std::size_t {
        for (std::size_t k = open.size(); k-- > 0;) {
            if (matches(open[k]))
                return k;
            if (stops(open[k].tag))
                return open.size() + 1;
        }
        return open.size();
    };
    auto popTo = [&](std::size_t k) {
        while (open.size() > k) {
            const bool closedEarly = open.size() - 1 > k && isFormatting(open.back().tag);
            if (closedEarly) {
                const Open& f = open.back();
                auto alike = [&](const Open& o) { return o.tag == f.tag && o.attributes == f.attributes; };
                if (std::count_if(reopened.begin(), reopened.end(), alike) >= 3)
                    reopened.erase(std::find_if(reopened.begin(), reopened.end(), alike));
                reopened.push_back(f);
            }
            open.pop_back();
        }
    };
    auto closeParagraph = [&] {
        popTo(find([](const Open& o) { return o.tag == GUMBO_TAG_P; }, isScopeBoundary));
    };
    auto tableScope = [](GumboTag t) { return t == GUMBO_TAG_TABLE || t == GUMBO_TAG_TEMPLATE; };
    forEachTag(html, [&](const Tag& tag) {
        if (tooDeep)
            return;
        const GumboTag t = tag.tag;
        if (tag.end) {
            if (t == GUMBO_TAG_P) {
                closeParagraph();
            } else if (isFormatting(t)) {
                const auto k = find([&](const Open& o) { return same(o, tag); }, isSpecial);
                if (k < open.size()) {
                    popTo(k);
                } else if (const auto r = std::find_if(reopened.rbegin(), reopened.rend(),
                                                       [&](const Open& o) { return o.tag == t; });
                           k == open.size() && r != reopened.rend()) {
                    reopened.erase(std::next(r).base());
                }
            } else if (!isVoid(t)) {
                popTo(find([&](const Open& o) { return same(o, tag); },
                           isSpecial(t) ? isScopeBoundary : isSpecial));
            }
            return;
        }
        if (isVoid(t) || (tag.selfClosing && !isSpecial(t) && !isFormatting(t)))
            return;
        if (closesParagraph(t))
            closeParagraph();
        switch (t) {
        case GUMBO_TAG_LI:
            popTo(find(
                [](const Open& o) { return o.tag == GUMBO_TAG_LI; },
                [](GumboTag s) { return isScopeBoundary(s) || s == GUMBO_TAG_OL || s == GUMBO_TAG_UL; }));
            break;
        case GUMBO_TAG_DD:
        case GUMBO_TAG_DT:
            popTo(find([](const Open& o) { return o.tag == GUMBO_TAG_DD || o.tag == GUMBO_TAG_DT; },
                       [](GumboTag s) { return isScopeBoundary(s) || s == GUMBO_TAG_DL; }));
            break;
        case GUMBO_TAG_OPTION:
        case GUMBO_TAG_OPTGROUP:
            if (!open.empty() && open.back().tag == GUMBO_TAG_OPTION)
                open.pop_back();
            break;
        case GUMBO_TAG_TD:
        case GUMBO_TAG_TH:
            popTo(find([](const Open& o) { return o.tag == GUMBO_TAG_TD || o.tag == GUMBO_TAG_TH; },
                       tableScope));
            break;
        case GUMBO_TAG_TR:
            popTo(find([](const Open& o) { return o.tag == GUMBO_TAG_TR; }, tableScope));
            break;
        case GUMBO_TAG_TBODY:
        case GUMBO_TAG_THEAD:
        case GUMBO_TAG_TFOOT:
            popTo(find(
                [](const Open& o) {
                    return o.tag == GUMBO_TAG_TBODY || o.tag == GUMBO_TAG_THEAD || o.tag == GUMBO_TAG_TFOOT;
                },
                tableScope));
            break;
        default:
            break;
        }
        open.push_back({t, tag.name, tag.text.substr(1 + tag.name.size())});
        tooDeep = open.size() + reopened.size() > limit;
    });
    return tooDeep;
}

// The page's tags, each alone in a <template> of its own, so that the parse stays flat however deep the
// page nests: every attribute is still read and decoded by the same parser, only the tree is lost.
std::string flattened(std::string_view html) {
    std::string flat;
    forEachTag(html, [&](const Tag& tag) {
        if (tag.end || (!tag.hasAttributes && tag.raw.empty()))
            return;
        const std::string_view rest = tag.text.substr(1 + tag.name.size());
        switch (tag.tag) {
        case GUMBO_TAG_HEAD:
            return;
        case GUMBO_TAG_HTML:
        case GUMBO_TAG_BODY: // their attributes join the one element there is
            flat += tag.text;
            return;
        case GUMBO_TAG_FRAME: // no frame outside a frameset, where no template may go
            flat.append("<template><iframe").append(rest).append("</iframe></template>");
            return;
        case GUMBO_TAG_TEMPLATE:
        case GUMBO_TAG_PLAINTEXT:
            flat.append("<template><span").append(rest).append("</span></template>");
            return;
        default:
            flat.append("<template>").append(tag.text);
            if (holdsRawText(tag.tag))
                flat.append(tag.raw).append("</").append(tag.name).append(">");
            flat.append("</template>");
        }
    });
    return flat;
}

// Browsers stop nesting elements a few hundred levels deep (Blink at 512), so no page that lays out as
// written comes near it; below it the parser's walks over its open elements, one per tag, stay cheap.
constexpr std::size_t MaxNesting = 512;

} // namespace

PageReferences scanHtml(std::string_view html) {
    if (!nestsDeeperThan(html, MaxNesting))
        return parse(html);
    PageReferences refs = parse(flattened(html));
    refs.readTagByTag = true;
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
