#include "links/UrlResolver.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

using links::resolve;

namespace {

struct Case {
    const char* page;
    const char* url;
    std::optional<std::string> target;
};

void expectAll(std::initializer_list<Case> cases, std::optional<std::string_view> base = std::nullopt) {
    for (const auto& c : cases)
        EXPECT_EQ(resolve(c.page, c.url, base), c.target) << c.page << " + " << c.url;
}

} // namespace

TEST(UrlResolver, RelativeStepsStayInsideTheWeb) {
    expectAll({
        {"index.htm", "about.htm", "about.htm"},
        {"a/b/page.htm", "pic.gif", "a/b/pic.gif"},
        {"a/b/page.htm", "./pic.gif", "a/b/pic.gif"},
        {"a/b/page.htm", "../pic.gif", "a/pic.gif"},
        {"a/b/page.htm", "../../pic.gif", "pic.gif"},
        {"a/b/page.htm", "../../../../pic.gif", "pic.gif"}, // a browser never climbs above the site
        {"a/b/page.htm", "/pic.gif", "pic.gif"},
        {"a/b/page.htm", "/a/./b/../c.htm", "a/c.htm"},
        {"a/page.htm", "x//y.htm", "a/x/y.htm"},
        {"a/page.htm", "  spaced.htm\n", "a/spaced.htm"},
        {"a/page.htm", "back\\slash.htm", "a/back/slash.htm"},
    });
}

TEST(UrlResolver, FoldersAndTheWebItself) {
    expectAll({
        {"a/page.htm", "sub/", "a/sub"},
        {"a/page.htm", "sub", "a/sub"},
        {"a/page.htm", "./", "a"},
        {"a/page.htm", "../", "."},
        {"a/page.htm", "/", "."},
    });
}

TEST(UrlResolver, QueryFragmentAndPercentDecoding) {
    expectAll({
        {"p.htm", "my%20file.htm", "my file.htm"},
        {"p.htm", "caf%C3%A9.htm", "caf\xC3\xA9.htm"},
        // A name whose decoding holds "/" or NUL names no file: it stays as written, never a path (the
        // first once named the file system's /etc/passwd).
        {"p.htm", "%2Fetc%2Fpasswd", "%2Fetc%2Fpasswd"},
        {"p.htm", "a%2Fb.htm", "a%2Fb.htm"},
        {"p.htm", "x%00y.htm", "x%00y.htm"},
        {"p.htm", "%2e%2e/x.htm", "x.htm"},
        {"p.htm", "100%.htm", "100%.htm"},
        {"p.htm", "bad%zz.htm", "bad%zz.htm"},
        {"p.htm", "list.htm?page=2", "list.htm"},
        {"p.htm", "list.htm#top", "list.htm"},
        {"p.htm", "list.htm?q=a#b", "list.htm"},
        {"p.htm", "Index.HTM", "Index.HTM"}, // case is kept: the server's file names decide
    });
    EXPECT_EQ(links::percentDecode("a%2"), "a%2");
}

TEST(UrlResolver, LinksThatLeaveTheWebOrNameThePageItselfResolveToNothing) {
    for (const char* url : {"http://example.com/x.htm", "HTTPS://example.com/", "mailto:pat@example.com",
                            "javascript:void(0)", "tel:123", "data:image/png;base64,AAAA",
                            "//cdn.example/x.js", "", "   ", "#top", "?page=2", "ftp://host/file"})
        EXPECT_EQ(resolve("a/page.htm", url), std::nullopt) << url;
    // Not a scheme: a colon after a slash, or a name starting with a digit.
    EXPECT_EQ(resolve("page.htm", "./c:d.htm"), "c:d.htm");
    EXPECT_EQ(resolve("page.htm", "1a:b.htm"), "1a:b.htm");
}

TEST(UrlResolver, ABaseHrefMovesRelativeLinks) {
    expectAll({{"a/page.htm", "x.htm", "shared/x.htm"}, {"a/page.htm", "/root.htm", "root.htm"}}, "/shared/");
    expectAll({{"a/page.htm", "x.htm", "a/sub/x.htm"}}, "sub/index.htm");
    expectAll({{"a/page.htm", "x.htm", "x.htm"}}, "../");
    expectAll({{"a/page.htm", "x.htm", "a/x.htm"}}, "other.htm");
    // A base on another site: nothing relative can be followed here.
    expectAll({{"a/page.htm", "x.htm", std::nullopt}, {"a/page.htm", "/x.htm", std::nullopt}},
              "http://example.com/site/");
}
