// mark and unmark, dry runs, what the marking commands print, and the refusal of folders that are no web.
#include "AppTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using ::testing::HasSubstr;
using namespace apptest;
using testsupport::readFile;
using testsupport::run;
using testsupport::TempDir;

namespace {

struct RepeatableCommandsTest : ::testing::Test {
    TempDir dir;
    std::string web = dir.mkdir("web").string();

    void SetUp() override {
        dir.mkdir("web/_vti_pvt");
        dir.write("web/index.htm");
        dir.write("web/images/banner.jpg");
        dir.write("web/images/logo.gif");
        dir.mkdir("web/archive");
    }
    std::string meta(const std::string& rel) { return readFile(dir / ("web/" + rel)); }
};

} // namespace

TEST_F(RepeatableCommandsTest, MarkAndUnmarkTwiceChangeNothingTheSecondTime) {
    auto r = run(Varnook, {"mark", web, "images"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "marked  images/\nmarked  images/banner.jpg\nmarked  images/logo.gif\n3 marked, 0 published\n");
    const auto after = snapshot(dir / "web");
    r = run(Varnook, {"mark", web, "images", "images/logo.gif"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "nothing changed\n");
    EXPECT_EQ(snapshot(dir / "web"), after);

    r = run(Varnook, {"unmark", web, "images/logo.gif"});
    EXPECT_EQ(r.out, "published  images/logo.gif\n0 marked, 1 published\n");
    r = run(Varnook, {"unmark", web, "images"});
    EXPECT_EQ(r.out, "published  images/\npublished  images/banner.jpg\n0 marked, 2 published\n")
        << "the folder's own mark goes too, though the folder showed published";
    EXPECT_EQ(meta("images/_vti_cnf/.fp_folder_info"), Header);
    EXPECT_EQ(run(Varnook, {"unmark", web, "images"}).out, "nothing changed\n");
}

TEST_F(RepeatableCommandsTest, AnEmptyFolderCanBeMarked) {
    // It shows marked already, so toggle publishes it and writes nothing.
    EXPECT_EQ(run(Varnook, {"toggle", web, "archive"}).out, "nothing changed\n");
    const auto r = run(Varnook, {"mark", web, "archive"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "marked  archive/\n1 marked, 0 published\n");
    EXPECT_EQ(meta("archive/_vti_cnf/.fp_folder_info"), Marked);
}

TEST_F(RepeatableCommandsTest, AFileShownMarkedByAnotherValueIsMarkedProperly) {
    dir.write("web/images/_vti_cnf/logo.gif", Header + "vti_donotpublish:SR|true\r\n"); // not "True"
    const auto r = run(Varnook, {"mark", web, "images/logo.gif"});
    EXPECT_EQ(r.out, "marked  images/logo.gif\n1 marked, 0 published\n");
    EXPECT_EQ(meta("images/_vti_cnf/logo.gif"), Marked);
}

TEST_F(RepeatableCommandsTest, AMarkTheWebRefusedIsNeverReportedAsWritten) {
    dir.mkdir("web/images/_vti_cnf/logo.gif"); // where the mark would go is a folder: the write fails
    const auto r = run(Varnook, {"mark", web, "images/logo.gif", "images/banner.jpg"});
    EXPECT_THAT(r.out, ::testing::Not(HasSubstr("logo.gif")));
    EXPECT_EQ(meta("images/_vti_cnf/banner.jpg"), Marked);
    EXPECT_EQ(r.exitCode, 1) << "a write that did not happen is said";
    EXPECT_THAT(r.err, ::testing::StartsWith("varnook: could not write the mark of 1 of 2 items: "));
}

TEST_F(RepeatableCommandsTest, ADryRunSaysWhatARealRunDoesAndWritesNothing) {
    ASSERT_EQ(run(Varnook, {"mark", web, "images/logo.gif"}).exitCode, 0);
    const auto before = snapshot(dir / "web");
    for (const char* command : {"mark", "unmark", "toggle"}) {
        for (const char* item : {"images", "images/logo.gif", "archive", "index.htm"}) {
            const auto dry = run(Varnook, {command, "--dry-run", web, item});
            ASSERT_EQ(dry.exitCode, 0) << dry.err;
            EXPECT_EQ(snapshot(dir / "web"), before) << command << " " << item;

            TempDir copy;
            std::filesystem::copy(dir / "web", copy / "web", std::filesystem::copy_options::recursive);
            const auto real = run(Varnook, {command, (copy / "web").string(), item});
            std::string expected = real.out; // the summary line says it was a dry run
            expected.insert(expected.size() - 1, " (dry run: nothing written)");
            EXPECT_EQ(dry.out, expected) << command << " " << item;
        }
    }
    const auto tsv = run(Varnook, {"toggle", "-n", "--tsv", web, "images"});
    EXPECT_THAT(tsv.out, HasSubstr("\timages\tclosed_n\topen_n\t0\n")) << "the tree as it would be";
    EXPECT_EQ(snapshot(dir / "web"), before);
}

TEST_F(RepeatableCommandsTest, QuietPrintsNothingAndToggleKeepsItsTsv) {
    auto r = run(Varnook, {"mark", "-q", web, "images"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    r = run(Varnook, {"toggle", "--tsv", web, "images/logo.gif"});
    EXPECT_THAT(r.out, HasSubstr("\t" + web + "/images/logo.gif\tlogo.gif\tgif\tgif\t0\n"));
    EXPECT_THAT(r.out, HasSubstr("\t" + web + "/images\timages\tclosed\topen\t0\n"));
}

TEST(NotAWeb, WritingCommandsRefuseAFolderWithoutTheEditorsFoldersUnlessInit) {
    TempDir dir;
    const std::string folder = dir.mkdir("plain").string();
    dir.write("plain/docs/a.htm");
    for (const char* command : {"toggle", "mark", "unmark"}) {
        const auto r = run(Varnook, {command, folder, "docs/a.htm"});
        EXPECT_EQ(r.exitCode, 1) << command;
        EXPECT_EQ(r.err,
                  "varnook: '" + folder +
                      "' is not a web (no _vti_pvt or _vti_cnf folder in it); give --init to make it one\n");
    }
    EXPECT_EQ(contentsOf(dir / "plain"), (std::set<std::string>{"docs", "docs/a.htm"})) << "nothing written";

    for (const char* command : {"tree", "excluded", "check"}) {
        const auto r = run(Varnook, {command, folder});
        EXPECT_EQ(r.exitCode, 0) << command;
        EXPECT_THAT(r.err, HasSubstr("varnook: warning: '" + folder + "' is not a web")) << command;
    }

    EXPECT_EQ(run(Varnook, {"mark", "--init", folder, "docs/nosuch.htm"}).exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "plain/_vti_pvt")) << "items are checked before --init acts";
    // Root making another user's folder a web leaves it theirs.
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
    }
    const auto init = run(Varnook, {"mark", "--init", folder, "docs/a.htm"});
    EXPECT_EQ(init.exitCode, 0) << init.err;
    EXPECT_TRUE(std::filesystem::is_directory(dir / "plain/_vti_pvt"));
    struct stat made {};
    ASSERT_EQ(::stat((dir / "plain/_vti_pvt").c_str(), &made), 0);
    EXPECT_EQ(made.st_uid, asRoot ? 65534u : ::geteuid());
    EXPECT_EQ(run(Varnook, {"unmark", folder, "docs/a.htm"}).exitCode, 0) << "a web from now on";
    EXPECT_EQ(run(Varnook, {"tree", folder}).err, "");

    // A web whose only sign is deep down is a web.
    dir.write("deep/a/b/_vti_cnf/x.htm", Header);
    dir.write("deep/a/b/x.htm");
    EXPECT_EQ(run(Varnook, {"mark", (dir / "deep").string(), "a/b/x.htm"}).exitCode, 0);
    EXPECT_EQ(run(Varnook, {"tree", (dir / "deep").string()}).err, "");

    // A link that bears the name is no sign: links to folders are never followed.
    dir.write("linked/docs/a.htm");
    std::filesystem::create_directory_symlink(dir / "deep/a/b/_vti_cnf", dir / "linked/docs/_vti_cnf");
    EXPECT_THAT(run(Varnook, {"tree", (dir / "linked").string()}).err, HasSubstr("is not a web"));
    EXPECT_EQ(run(Varnook, {"mark", (dir / "linked").string(), "docs/a.htm"}).exitCode, 1);
}
