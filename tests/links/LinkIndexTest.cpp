#include "links/LinkIndex.h"

#include "host/Failure.h"
#include "host/disk/DiskWeb.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

using ::testing::ElementsAre;

namespace {

std::vector<std::string> describe(const std::vector<const links::Link*>& found) {
    std::vector<std::string> out;
    for (const auto* l : found)
        out.push_back(l->page + " " + l->url + " -> " + l->target);
    return out;
}

} // namespace

TEST(LinkIndex, AnswersWhichPagesLinkToAnItemOrIntoAFolder) {
    links::LinkIndex index;
    index.addDocument("index.htm", "<a href='docs/a.htm'>a</a><img src='pics/p.gif'><a href='docs/'>d</a>");
    index.addDocument("docs/a.htm", "<a href='../index.htm'>home</a><a href='b.htm#x'>b</a>");
    index.addDocument("site.CSS", "body{background:url(pics/bg.png)}");
    index.addDocument("docs-old/x.htm", "<a href='../docs-old.htm'>x</a>");
    index.addDocument("notes.txt", "<a href='ignored.htm'>not a page</a>");

    EXPECT_EQ(index.links().size(), 7u);
    EXPECT_THAT(describe(index.linksTo("docs/a.htm")), ElementsAre("index.htm docs/a.htm -> docs/a.htm"));
    // A folder gathers the links to itself and to everything beneath it, not those to "docs-old".
    EXPECT_THAT(describe(index.linksTo("docs")),
                ElementsAre("index.htm docs/a.htm -> docs/a.htm", "index.htm docs/ -> docs",
                            "docs/a.htm b.htm#x -> docs/b.htm"));
    EXPECT_THAT(describe(index.linksTo("pics")),
                ElementsAre("index.htm pics/p.gif -> pics/p.gif", "site.CSS pics/bg.png -> pics/bg.png"));
    EXPECT_TRUE(index.linksTo("nothing.htm").empty());
    EXPECT_EQ(index.linksTo(".").size(), 7u);
}

TEST(LinkIndex, DocumentKindsByExtensionInAnyCase) {
    for (const char* page : {"a.htm", "a.HTML", "d/a.asp", "a.Aspx", "a.shtml", "a.htx"})
        EXPECT_TRUE(links::isPage(page)) << page;
    for (const char* other : {"a.css", "a.txt", "htm", "a.htm.bak", "dir.htm/file", "a."})
        EXPECT_FALSE(links::isPage(other)) << other;
    EXPECT_TRUE(links::isStyleSheet("x/Site.CSS"));
}

TEST(LinkIndex, ReadsDocumentsFromTheWebFolder) {
    testsupport::TempDir dir;
    dir.write("web/index.htm", "<a href='sub/p.htm'>p</a>");
    dir.write("web/sub/p.htm", "<img src='../logo.gif'>");
    dir.write("web/logo.gif", "<a href='never-read.htm'>");
    // A page that is a link to a file outside the web is not read.
    dir.write("outside.htm", "<a href='secret.htm'>");
    std::filesystem::create_symlink(dir / "outside.htm", dir / "web/linked.htm");
    std::ostringstream warnings;
    host::disk::DiskApplication web(dir / "web", warnings);
    const auto read = [&](const std::string& path) { return web.readFile(path); };
    const auto index = links::indexDocuments(read, {"index.htm", "sub/p.htm", "logo.gif", "linked.htm"});
    ASSERT_EQ(index.links().size(), 2u);
    EXPECT_EQ(index.links()[1].target, "logo.gif");
    EXPECT_THROW(links::indexDocuments(read, {"gone.htm"}), host::Failure)
        << "a page that cannot be read is not skipped in silence";
    EXPECT_TRUE(web.exists("linked.htm"));
    EXPECT_FALSE(web.exists("%2Fetc%2Fpasswd"));
}
