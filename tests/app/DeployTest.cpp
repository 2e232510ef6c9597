// The deploy leaves out exactly what the window shows as not published, checked by running the
// README's rsync line and git for real.
#include "AppTestSupport.h"
#include "app/publishing/ExclusionRules.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;
using ::testing::Not;
using namespace apptest;
using testsupport::run;
using testsupport::TempDir;

namespace {

struct DeployTest : ::testing::Test {
    TempDir dir;
    std::string web = dir.mkdir("web").string();

    void SetUp() override { dir.mkdir("web/_vti_pvt"); }

    // Deploys into a fresh folder and returns what arrived.
    std::set<std::string> deployed(const std::vector<std::string>& excludedOptions = {}) {
        const auto target = dir.mkdir("out-" + std::to_string(++deploys_));
        const auto r = deploy(web, target, excludedOptions);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return contentsOf(target);
    }

  private:
    int deploys_ = 0;
};

} // namespace

TEST_F(DeployTest, PublishingOneFileOfAMarkedFolderDeploysThatFileAndItsFolder) {
    dir.write("web/index.htm");
    dir.write("web/private/notes.txt", "notes");
    dir.write("web/private/secret.htm", "secret");
    ASSERT_EQ(run(Varnook, {"mark", web, "private"}).exitCode, 0);
    ASSERT_EQ(run(Varnook, {"toggle", web, "private/notes.txt"}).exitCode, 0);
    // The folder's own mark is still written, as the marking rules leave it ...
    EXPECT_THAT(testsupport::readFile(dir / "web/private/_vti_cnf/.fp_folder_info"),
                HasSubstr("donotpublish"));

    // ... but the window shows it published, and so does the deploy.
    const auto rules = run(Varnook, {"excluded", "--format", "rsync", web});
    EXPECT_THAT(rules.out, Not(HasSubstr("- /private/\n")));
    EXPECT_EQ(deployed(), (std::set<std::string>{"index.htm", "private", "private/notes.txt"}));
    EXPECT_EQ(deployed(), deployedByJson(web));
}

TEST_F(DeployTest, AFileAddedLaterToAMarkedFolderIsDeployedAsTheWindowShowsIt) {
    dir.write("web/old/a.htm");
    ASSERT_EQ(run(Varnook, {"mark", web, "old"}).exitCode, 0);
    EXPECT_EQ(deployed(), std::set<std::string>{});
    dir.write("web/old/new.htm"); // no metadata yet: published
    EXPECT_EQ(deployed(), (std::set<std::string>{"old", "old/new.htm"}));
}

TEST_F(DeployTest, NestedMixesFollowTheWindowAndMetadataNeverLeaves) {
    // top/ holds a marked page, a sub-folder whose only file is marked, an empty folder, and deep down one
    // published picture; the folder's own mark is set throughout, which decides nothing.
    dir.write("web/top/page.htm");
    dir.write("web/top/allmarked/x.txt");
    dir.mkdir("web/top/empty");
    dir.write("web/top/a/b/c/pic.gif");
    dir.write("web/top/a/b/c/hidden.gif");
    dir.write("web/plain/readme.txt");
    dir.mkdir("web/lonely");
    dir.write("web/_borders/top.htm"); // the editor's own folder: not in the window, deployed as it is
    for (const char* folder : {"top", "top/allmarked", "top/a"})
        markOnDisk(dir, "web", folder, true);
    for (const char* file : {"top/page.htm", "top/allmarked/x.txt", "top/a/b/c/hidden.gif"})
        markOnDisk(dir, "web", file);
    dir.write("web/plain/_vti_cnf/readme.txt", Header + "vti_author:SR|pat\r\n");
    dir.write("web/_vti_inf.html"); // the editor's own file, which check counts as never deployed too
    // Version control's bookkeeping is no part of the site, at any depth, kept metadata or not.
    dir.write("web/.git/HEAD", "ref: refs/heads/main");
    dir.write("web/top/a/.svn/entries");
    dir.write("web/plain/.hg/store");

    const auto arrived = deployed();
    EXPECT_EQ(arrived, (std::set<std::string>{"top", "top/a", "top/a/b", "top/a/b/c", "top/a/b/c/pic.gif",
                                              "plain", "plain/readme.txt", "_borders", "_borders/top.htm"}));
    auto fromJson = deployedByJson(web);
    fromJson.insert({"_borders", "_borders/top.htm"});
    EXPECT_EQ(arrived, fromJson) << "rsync sends exactly what tree --json calls deployed";

    // varnook's own files among the metadata never leave: the lock, and a killed writer's temporary file.
    ASSERT_EQ(run(Varnook, {"mark", "-q", web, "plain/readme.txt"}).exitCode, 0);
    ASSERT_EQ(run(Varnook, {"unmark", "-q", web, "plain/readme.txt"}).exitCode, 0);
    dir.write("web/plain/_vti_cnf/.varnook\\12345-0.tmp", "stale");
    const auto withMetadata = deployed({"--keep-metadata"});
    EXPECT_TRUE(withMetadata.count("plain/_vti_cnf/readme.txt"));
    EXPECT_TRUE(withMetadata.count("_vti_pvt"));
    EXPECT_FALSE(withMetadata.count("_vti_pvt/varnook.lock"));
    EXPECT_FALSE(withMetadata.count("plain/_vti_cnf/.varnook\\12345-0.tmp"));
    EXPECT_TRUE(withMetadata.count("_vti_inf.html"));
    EXPECT_FALSE(withMetadata.count("top/page.htm"));
    EXPECT_FALSE(withMetadata.count(".git") || withMetadata.count("top/a/.svn") ||
                 withMetadata.count("plain/.hg"));
}

TEST_F(DeployTest, NamesThatPatternsTreatSpeciallyAreLeftOutExactly) {
    // (A name holding "\\" never shows in the window; the rules' own test covers it.)
    const std::vector<std::string> names{"sp ",    " lead", "two  ", "a*b",  "q?x",   "[x]",   "#h",   "!e",
                                         "star**", "c]d",   "x[!y]", "100%", "-dash", "+plus", "a b;c"};
    const std::vector<std::string> decoys{"sp", "lead", "two",  "ab", "aXb", "qzx", "x",  "h",
                                          "e",  "w*",   "star", "cd", "xy",  "100", "a b"};
    for (const auto& n : names) {
        dir.write("web/" + n, "marked");
        markOnDisk(dir, "web", n);
        dir.write("web/dir " + n + "/f.txt");
        markOnDisk(dir, "web", "dir " + n + "/f.txt");
    }
    for (const auto& d : decoys)
        dir.write("web/" + d, "published");
    const auto arrived = deployed();
    EXPECT_EQ(arrived, std::set<std::string>(decoys.begin(), decoys.end()));
    EXPECT_EQ(arrived, deployedByJson(web));

    // git: the ignored paths are exactly those not deployed, and the metadata.
    ASSERT_EQ(run("git", {"-C", web, "init", "-q"}).exitCode, 0);
    const auto gitignore = run(Varnook, {"excluded", "--format", "gitignore", web});
    ASSERT_EQ(gitignore.exitCode, 0) << gitignore.err;
    dir.write("web/.gitignore", gitignore.out);
    for (const auto& path : contentsOf(dir / "web")) {
        if (path.starts_with(".git")) // the repository and its .gitignore
            continue;
        const bool ignored =
            run("git", {"-C", web, "check-ignore", "-q", "--no-index", "--", path}).exitCode == 0;
        const bool expected = !arrived.count(path);
        EXPECT_EQ(ignored, expected) << path;
    }
}

TEST_F(DeployTest, DeleteExcludedRemovesWhatWasMarkedAfterAnEarlierDeploy) {
    dir.write("web/a.htm");
    dir.write("web/b.htm");
    const auto target = dir.mkdir("server");
    ASSERT_EQ(deploy(web, target).exitCode, 0);
    EXPECT_TRUE(std::filesystem::exists(target / "b.htm"));
    ASSERT_EQ(run(Varnook, {"mark", web, "b.htm"}).exitCode, 0);

    ASSERT_EQ(deploy(web, target, {}, {"--delete"}).exitCode, 0);
    EXPECT_TRUE(std::filesystem::exists(target / "b.htm")) << "--delete alone leaves an excluded file";
    ASSERT_EQ(deploy(web, target, {}, {"--delete", "--delete-excluded"}).exitCode, 0);
    EXPECT_EQ(contentsOf(target), std::set<std::string>{"a.htm"});
}

TEST_F(DeployTest, AMarkThatCannotBeReadStopsEveryDeployCommand) {
    dir.write("web/a/f.htm");
    dir.write("web/a/g.htm");
    ASSERT_EQ(run(Varnook, {"mark", "-q", web, "a/f.htm"}).exitCode, 0);
    // Unreadable as root too: a folder where the metadata file belongs.
    std::filesystem::remove(dir / "web/a/_vti_cnf/f.htm");
    dir.mkdir("web/a/_vti_cnf/f.htm");
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"excluded", web},
                                               {"excluded", "--format", "rsync", web},
                                               {"excluded", "--format", "json", web},
                                               {"check", web}}) {
        const auto r = run(Varnook, args);
        EXPECT_EQ(r.exitCode, 1) << ::testing::PrintToString(args);
        EXPECT_EQ(r.out, "");
        EXPECT_THAT(r.err,
                    HasSubstr("could send what was marked Don't Publish: the mark of 1 item cannot be read"
                              ", so it shows published: a/f.htm (cannot read the metadata file"));
    }
    const auto tree = run(Varnook, {"tree", web});
    EXPECT_EQ(tree.exitCode, 0);
    EXPECT_THAT(tree.err, HasSubstr("varnook: warning: the mark of 1 item cannot be read"));
}

TEST_F(DeployTest, ListNamesEveryItemLeftOutAndRulesOnlyTheTopmost) {
    dir.write("web/keep.htm");
    dir.write("web/gone/x.htm");
    dir.write("web/gone/sub/y.htm");
    ASSERT_EQ(run(Varnook, {"mark", web, "gone"}).exitCode, 0);
    EXPECT_EQ(run(Varnook, {"excluded", web}).out, "gone/\ngone/x.htm\ngone/sub/\ngone/sub/y.htm\n");
    EXPECT_EQ(run(Varnook, {"excluded", "--format", "rsync", web}).out,
              "- _vti_*\n- .git\n- .hg\n- .svn\n- /gone/\n");
    EXPECT_EQ(run(Varnook, {"excluded", "--format", "gitignore", "--keep-metadata", web}).out,
              std::string(app::GitignoreOwnFilesRules) + "\n" +
                  std::string(app::GitignoreVersionControlRules) + "\n/gone/\n");
}
