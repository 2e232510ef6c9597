#include "links/LinkScanner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(LinkScanner, EveryLinkingAttributeOfAPage) {
    const auto refs = links::scanHtml(R"html(<!DOCTYPE html><html><head>
        <link rel="stylesheet" href="site.css"><script src="menu.js"></script>
        <style>body { background: url( "bg.png" ) } @import 'print.css'; /* url(commented.png) */</style>
        </head><body background="paper.gif">
        <a href="about.htm">About</a><img src="a.gif" srcset="a-2x.gif 2x, a-3x.gif 3x">
        <form action="order.asp"></form><video poster="poster.jpg" src="clip.mpg"></video>
        <object data="movie.swf"></object><div data="not-a-link" style="background-image:url(tile.gif)"></div>
        <area href="map.htm"><iframe src="frame.htm"></iframe>
        </body></html>)html");
    EXPECT_EQ(refs.baseHref, std::nullopt);
    EXPECT_THAT(refs.urls, ElementsAre("site.css", "menu.js", "bg.png", "print.css", "paper.gif", "about.htm",
                                       "a.gif", "a-2x.gif", "a-3x.gif", "order.asp", "clip.mpg", "poster.jpg",
                                       "movie.swf", "tile.gif", "map.htm", "frame.htm"));
}

TEST(LinkScanner, ParsesAsABrowserDoes) {
    // Entities decoded, unquoted and badly nested markup, upper-case tags, a base href kept apart.
    const auto refs = links::scanHtml("<BASE HREF='/shared/'><base href='ignored/'><P><A HREF=a&amp;b.htm>x"
                                      "<IMG SRC=\"caf&eacute;.gif\"></p><!-- <a href=\"hidden.htm\"> -->"
                                      "<template><img src=\"tpl.gif\"></template>");
    EXPECT_EQ(refs.baseHref, "/shared/");
    EXPECT_THAT(refs.urls, ElementsAre("a&b.htm", "caf\xC3\xA9.gif", "tpl.gif"));
}

TEST(LinkScanner, NothingFoundInTextOrScripts) {
    EXPECT_THAT(
        links::scanHtml("<p>href=\"x.htm\" url(y.gif)</p><script>var s = '<a href=\"z.htm\">';</script>")
            .urls,
        IsEmpty());
    EXPECT_THAT(links::scanHtml("").urls, IsEmpty());
}

TEST(LinkScanner, DeeplyNestedPagesDoNotExhaustTheStack) {
    std::string html;
    for (int i = 0; i < 3000; ++i)
        html += "<div>";
    html += "<img src=\"deep.gif\">";
    EXPECT_THAT(links::scanHtml(html).urls, ElementsAre("deep.gif"));
}

TEST(LinkScanner, StyleSheetUrlsInEveryForm) {
    EXPECT_THAT(links::scanCss(R"css(a{b:url(plain.gif)} c{d:URL('single.gif')} e{f:url( "double.gif" )}
        @import "imp.css"; @import url(imp2.css); g{content:"url(in-string.gif)"}
        /* url(comment.gif) */ h{i:url(esc\(aped\).gif)} j{k:url("hex\41 .gif")} l{m:myurl(not.gif)})css"),
                ElementsAre("plain.gif", "single.gif", "double.gif", "imp.css", "imp2.css", "esc(aped).gif",
                            "hexA.gif"));
    EXPECT_THAT(links::scanCss("a{b:url(unterminated"), ElementsAre("unterminated"));
    EXPECT_THAT(links::scanCss("/* never closed url(x.gif)"), IsEmpty());
}

TEST(LinkScanner, SrcsetCandidates) {
    EXPECT_THAT(links::scanSrcset("a.jpg"), ElementsAre("a.jpg"));
    EXPECT_THAT(links::scanSrcset(" a.jpg 1x ,b.jpg 2x,c,d.jpg 100w"),
                ElementsAre("a.jpg", "b.jpg", "c,d.jpg"));
    EXPECT_THAT(links::scanSrcset("a,b.jpg 1x"), ElementsAre("a,b.jpg")); // a comma inside a URL
    EXPECT_THAT(links::scanSrcset("x.jpg (max-width: 1px, 2px) 1x, y.jpg"), ElementsAre("x.jpg", "y.jpg"));
    EXPECT_THAT(links::scanSrcset(" , "), IsEmpty());
}

// About 1 MB nested a level per tag: the parse must stay linear and still yield every link.
class LinkScannerNesting : public ::testing::TestWithParam<std::string> {};

TEST_P(LinkScannerNesting, AMegabyteDeepStillYieldsItsLinks) {
    const std::string& level = GetParam();
    const std::size_t levels = 1'000'000 / level.size();
    std::string html;
    for (std::size_t i = 0; i < levels / 2; ++i)
        html += level;
    html += "<a href=\"deep.htm\">deep</a><img src='x&amp;y.gif'>";
    for (std::size_t i = 0; i < levels / 2; ++i)
        html += level;
    html += "<style>p { background: url(tile.gif) }</style><a href=\"end.htm\">end</a>";
    const auto refs = links::scanHtml(html);
    EXPECT_TRUE(refs.readTagByTag);
    EXPECT_THAT(refs.urls, ElementsAre("deep.htm", "x&y.gif", "tile.gif", "end.htm"));
}

INSTANTIATE_TEST_SUITE_P(Levels, LinkScannerNesting,
                         ::testing::Values("<div>", "<b><i><u><s>",
                                           "<div class=\"box\" style=\"margin: 0\">"));
