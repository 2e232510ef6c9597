#include "AppTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using apptest::Header;
using apptest::Varnook;
using ::testing::HasSubstr;
using testsupport::readFile;
using testsupport::run;
using testsupport::TempDir;

namespace {

const std::string MarkLine = "vti_donotpublish:BW|true";

// A small web: a folder with a page and a sub-folder holding a picture, and a home page.
struct MarkCommandsTest : ::testing::Test {
    TempDir dir;
    std::string web = dir.mkdir("web").string();

    void SetUp() override {
        dir.mkdir("web/_vti_pvt");
        dir.write("web/index.htm", "<html>");
        dir.write("web/docs/a.htm", "<html>");
        dir.write("web/docs/pics/p.gif", "GIF89a");
    }
    std::string meta(const std::string& rel) { return readFile(dir / ("web/" + rel)); }
    bool exists(const std::string& rel) { return std::filesystem::exists(dir / ("web/" + rel)); }
    std::string keysOf(const std::string& tsv, const std::string& text) {
        std::istringstream in(tsv);
        for (std::string line; std::getline(in, line);) {
            std::vector<std::string> f;
            std::istringstream fields(line);
            for (std::string x; std::getline(fields, x, '\t');)
                f.push_back(x);
            if (f.size() == 6 && f[1] == web + "/" + text)
                return f[3] + "/" + f[4];
        }
        return "(none)";
    }
};

} // namespace

TEST_F(MarkCommandsTest, TogglingAFileWritesANewMetadataFileAndShowsTheMark) {
    const auto r = run(Varnook, {"toggle", "--tsv", web, "docs/a.htm"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(keysOf(r.out, "docs/a.htm"), "page_n/page_n");
    EXPECT_EQ(keysOf(r.out, "docs"), "closed/open") << "a file's marking leaves its folder alone";
    EXPECT_EQ(meta("docs/_vti_cnf/a.htm"), Header + MarkLine + "\r\n");

    const auto again = run(Varnook, {"tree", "--tsv", web});
    EXPECT_EQ(keysOf(again.out, "docs/a.htm"), "page_n/page_n") << "the mark reads back";
}

TEST_F(MarkCommandsTest, PublishingAFileDropsOnlyItsMarkLine) {
    const std::string before = "vti_encoding:SR|utf8-nl\r\nvti_title:SR|A \\\\ page\r\n" + MarkLine +
                               "\r\nvti_author:SR|pat\nvti_filesize:IR|6\r\n";
    dir.write("web/docs/_vti_cnf/a.htm", before);
    const auto r = run(Varnook, {"toggle", "--tsv", web, "docs/a.htm"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(keysOf(r.out, "docs/a.htm"), "page/page");
    EXPECT_EQ(
        meta("docs/_vti_cnf/a.htm"),
        "vti_encoding:SR|utf8-nl\r\nvti_title:SR|A \\\\ page\r\nvti_author:SR|pat\nvti_filesize:IR|6\r\n");
}

TEST_F(MarkCommandsTest, TogglingAFolderMarksEverythingBeneathItAndTheFolder) {
    const auto r = run(Varnook, {"toggle", "--tsv", web, "docs/"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(keysOf(r.out, "docs"), "closed_n/open_n");
    EXPECT_EQ(keysOf(r.out, "docs/a.htm"), "page_n/page_n");
    EXPECT_EQ(keysOf(r.out, "docs/pics"), "closed_n/open_n");
    EXPECT_EQ(keysOf(r.out, "docs/pics/p.gif"), "gif_n/gif_n");
    for (const char* m : {"docs/_vti_cnf/.fp_folder_info", "docs/_vti_cnf/a.htm",
                          "docs/pics/_vti_cnf/.fp_folder_info", "docs/pics/_vti_cnf/p.gif"})
        EXPECT_EQ(meta(m), Header + MarkLine + "\r\n") << m;
    EXPECT_FALSE(exists("_vti_cnf")) << "the web itself is never written";

    const auto back = run(Varnook, {"toggle", "--tsv", web, "docs"});
    ASSERT_EQ(back.exitCode, 0) << back.err;
    EXPECT_EQ(keysOf(back.out, "docs"), "closed/open");
    EXPECT_EQ(keysOf(back.out, "docs/pics/p.gif"), "gif/gif");
    EXPECT_EQ(meta("docs/pics/_vti_cnf/p.gif"), Header);
}

TEST_F(MarkCommandsTest, ItemsRunInOrderAndTheWebItselfChangesNothing) {
    const auto r = run(Varnook, {"toggle", "--tsv", web, "index.htm", ".", "index.htm", "docs/pics/p.gif"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(keysOf(r.out, "index.htm"), "home/home");
    EXPECT_EQ(keysOf(r.out, "docs/pics/p.gif"), "gif_n/gif_n");
    EXPECT_EQ(meta("_vti_cnf/index.htm"), Header);
    EXPECT_THAT(r.err, HasSubstr("varnook: the web itself cannot be left out")) << "and that is said";
}

TEST_F(MarkCommandsTest, AnUnknownItemIsAUsageErrorAndNothingIsWritten) {
    const auto r = run(Varnook, {"toggle", web, "docs/a.htm", "docs/missing.htm"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "varnook: no item 'docs/missing.htm' in " + web + "\nRun 'varnook --help' for more.\n");
    EXPECT_FALSE(exists("docs/_vti_cnf"));
    EXPECT_FALSE(exists("_vti_pvt/varnook.lock")) << "a usage error makes nothing, the lock file included";
    for (const char* bad : {"../web/index.htm", "/index.htm", "", "docs/../index.htm", "_vti_cnf"}) {
        const auto b = run(Varnook, {"toggle", web, bad});
        EXPECT_EQ(b.exitCode, 2) << bad;
    }
}

TEST_F(MarkCommandsTest, ItemsAsTheShellGivesThemAndMistakesThatNameTheRightOne) {
    // From the web's parent folder, as completion gives them; an absolute path; a doubled slash.
    const auto r =
        run("/bin/sh", {"-c", "cd " + testsupport::shellQuote(dir.path().string()) + " && " +
                                  testsupport::shellQuote(Varnook) + " mark -n web web/docs/a.htm " +
                                  testsupport::shellQuote(web + "/index.htm") + " docs//pics/p.gif"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "marked  docs/a.htm\nmarked  docs/pics/p.gif\nmarked  index.htm\n"
                     "3 marked, 0 published (dry run: nothing written)\n");

    EXPECT_THAT(run(Varnook, {"mark", web, "docs/a.hmt"}).err, HasSubstr("; did you mean 'docs/a.htm'?"));
    EXPECT_THAT(run(Varnook, {"mark", web, "-draft.htm"}).err,
                HasSubstr("unknown option '-draft.htm'; an ITEM whose name starts with '-' goes after '--': "
                          "varnook mark WEB -- -draft.htm"));
    EXPECT_THAT(run(Varnook, {"mark", "--dry-rn", web, "index.htm"}).err,
                HasSubstr("varnook: unknown option '--dry-rn'; did you mean '--dry-run'?"));
}

TEST_F(MarkCommandsTest, ExcludedListsMarkedItemsInTreeOrderInEachFormat) {
    dir.write("web/z[1]*.txt");
    dir.write("web/_vti_cnf/z[1]*.txt", Header + MarkLine + "\r\n");
    dir.write("web/docs/_vti_cnf/a.htm", Header + "vti_donotpublish:SR|true\r\n"); // not exactly "True"
    ASSERT_EQ(run(Varnook, {"toggle", web, "docs/pics"}).exitCode, 0);

    auto r = run(Varnook, {"excluded", web});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "docs/pics/\ndocs/pics/p.gif\nz[1]*.txt\n");
    r = run(Varnook, {"excluded", "--format", "rsync", web});
    EXPECT_EQ(r.out, "- _vti_*\n- .git\n- .hg\n- .svn\n- /docs/pics/\n- /z\\[1]\\*.txt\n");
    r = run(Varnook, {"excluded", "--format", "gitignore", web});
    EXPECT_EQ(r.out, "_vti_*\n.hg\n.svn\n/docs/pics/\n/z\\[1]\\*.txt\n");
    r = run(Varnook, {"excluded", "--format", "yaml", web});
    EXPECT_EQ(r.exitCode, 2);
}

TEST_F(MarkCommandsTest, TheSampleWebsMarksAreListed) {
    const auto r = run(Varnook, {"excluded", VARNOOK_SOURCE_DIR "/examples/sample-web"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("private/\nprivate/newsletter-draft.html\n"));
    EXPECT_THAT(r.out, HasSubstr("draft-offers.htm\n"));
}

TEST_F(MarkCommandsTest, PatternsMarkWhatTheyMatchAsItemsWouldInOneCommand) {
    dir.write("web/docs/old.psd");
    dir.write("web/art.psd");
    dir.write("web/drafts/a.htm");
    dir.write("web/drafts/deep/b.htm");
    dir.write("web/docs/drafts/c.htm");
    const auto names = [&](const std::vector<std::string>& args) {
        std::vector<std::string> all{"mark", "-n", web};
        all.insert(all.end(), args.begin(), args.end());
        const auto r = run(Varnook, all);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.out;
    };
    // Any depth; anchored at the top; across folders; folders only; mixed with items, in one report.
    EXPECT_EQ(names({"--match", "*.psd"}),
              "marked  docs/old.psd\nmarked  art.psd\n2 marked, 0 published (dry run: nothing written)\n");
    EXPECT_EQ(names({"--match", "drafts/*.htm"}),
              "marked  drafts/a.htm\n1 marked, 0 published (dry run: nothing written)\n");
    EXPECT_EQ(names({"--match", "drafts/**/*.htm"}), "marked  drafts/a.htm\nmarked  drafts/deep/b.htm\n2 "
                                                     "marked, 0 published (dry run: nothing written)\n");
    EXPECT_EQ(names({"index.htm", "--match", "drafts/"}),
              "marked  docs/drafts/\nmarked  docs/drafts/c.htm\nmarked  drafts/\nmarked  drafts/a.htm\n"
              "marked  drafts/deep/\nmarked  drafts/deep/b.htm\nmarked  index.htm\n"
              "7 marked, 0 published (dry run: nothing written)\n");
    EXPECT_FALSE(exists("_vti_cnf")) << "a dry run writes nothing";
    const auto inside = run(Varnook, {"mark", "-n", web, "--match", "drafts/", "**/deep/*.htm"});
    EXPECT_EQ(inside.err, "") << "a pattern matching only inside a folder taken whole still matched";

    const auto marked = run(Varnook, {"mark", web, "--match", "*.psd", "nothing*"});
    EXPECT_EQ(marked.exitCode, 0);
    EXPECT_EQ(marked.err, "varnook: no item matches the pattern 'nothing*'\n");
    EXPECT_EQ(meta("docs/_vti_cnf/old.psd"), Header + MarkLine + "\r\n");
    EXPECT_EQ(run(Varnook, {"mark", web, "--match", "*.psd"}).out, "nothing changed\n") << "again: no change";
    EXPECT_EQ(run(Varnook, {"unmark", "-q", web, "--match", "**/*.psd"}).exitCode, 0);
    EXPECT_EQ(meta("docs/_vti_cnf/old.psd"), Header);

    for (const char* bad : {"[abc", "!*.psd", "a//b", "tail\\"}) {
        const auto r = run(Varnook, {"mark", web, "--match", bad});
        EXPECT_EQ(r.exitCode, 2) << bad;
        EXPECT_THAT(r.err, HasSubstr("pattern")) << bad;
    }
}
