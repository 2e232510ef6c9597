// Each rule must match its one name and nothing else, in rsync and in git alike: checked by asking the
// real tools, not by comparing with expected text.
#include "app/publishing/ExclusionRules.h"

#include "AppTestSupport.h"

#include <gtest/gtest.h>

using testsupport::run;
using testsupport::TempDir;

namespace {

// Names that a pattern reads specially, and names that a careless pattern would also match.
const std::vector<std::string> Names{
    "sp ",  "sp",  " lead", "lead",  "two  ", "two ", "a*b",   "ab",  "aXb",  "q?x",   "qzx",
    "[x]",  "x",   "b\\s",  "bs",    "#h",    "h",    "!e",    "e",   "w\\*", "w\\x",  "star**",
    "star", "c]d", "cd",    "x[!y]", "xz",    "100%", "-d",    "+p",  "a b",  "a\\ ",  "[ ]",
    "*",    "?",   "\\",    "[",     "]",     "**",   "a[b]c", "abc", "a.b",  "a?b c*"};

struct ExclusionRulesTest : ::testing::Test {
    TempDir dir;
    std::filesystem::path src = dir.mkdir("src");

    void SetUp() override {
        for (const auto& n : Names)
            dir.write("src/" + n, n);
        dir.write("src/dir /inner.txt");
        dir.write("src/dir/inner.txt");
        dir.write("src/d*r/inner.txt");
        dir.write("src/dxr/inner.txt");
    }

    std::set<std::string> leftOutByRsync(const std::string& rule) {
        const auto rules = dir / "rules";
        std::ofstream(rules, std::ios::binary) << rule << '\n';
        const auto target = dir / "dst";
        std::filesystem::remove_all(target);
        const auto r = run(
            "rsync", {"-a", "--filter=merge " + rules.string(), src.string() + "/", target.string() + "/"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::set<std::string> missing = apptest::contentsOf(src);
        for (const auto& p : apptest::contentsOf(target))
            missing.erase(p);
        return missing;
    }

    std::set<std::string> ignoredByGit(const std::string& rule) {
        std::ofstream(src / ".gitignore", std::ios::binary) << rule << '\n';
        // All paths at once, NUL-separated both ways, so no name is changed on the way.
        std::string paths;
        for (const auto& p : apptest::contentsOf(src)) {
            if (!p.starts_with(".git"))
                paths += p + '\0';
        }
        const auto list = dir / "paths";
        std::ofstream(list, std::ios::binary) << paths;
        const auto r = run("sh", {"-c", "git -C \"$0\" check-ignore --no-index -z --stdin < \"$1\"",
                                  src.string(), list.string()});
        EXPECT_LE(r.exitCode, 1) << r.err; // 1: nothing ignored
        std::set<std::string> ignored;
        for (std::size_t start = 0, end; (end = r.out.find('\0', start)) != std::string::npos;
             start = end + 1)
            ignored.insert(r.out.substr(start, end - start));
        return ignored;
    }
};

} // namespace

TEST_F(ExclusionRulesTest, RsyncRulesLeaveOutExactlyTheirOwnName) {
    for (const auto& name : Names) {
        const std::string rule = app::rsyncExcludeRule(name, false);
        EXPECT_EQ(leftOutByRsync(rule), std::set<std::string>{name}) << "rule [" << rule << "]";
    }
    for (const std::string folder : {"dir ", "d*r"}) {
        const std::string rule = app::rsyncExcludeRule(folder, true);
        EXPECT_EQ(leftOutByRsync(rule), (std::set<std::string>{folder, folder + "/inner.txt"})) << rule;
    }
    EXPECT_EQ(leftOutByRsync(app::rsyncExcludeRule("d*r/inner.txt", false)),
              std::set<std::string>{"d*r/inner.txt"});
}

TEST_F(ExclusionRulesTest, GitignoreRulesIgnoreExactlyTheirOwnName) {
    ASSERT_EQ(run("git", {"-C", src.string(), "init", "-q"}).exitCode, 0);
    for (const auto& name : Names) {
        const std::string rule = app::gitignoreRule(name, false);
        EXPECT_EQ(ignoredByGit(rule), std::set<std::string>{name}) << "rule [" << rule << "]";
    }
    for (const std::string folder : {"dir ", "d*r"}) {
        const std::string rule = app::gitignoreRule(folder, true);
        EXPECT_EQ(ignoredByGit(rule), (std::set<std::string>{folder, folder + "/inner.txt"})) << rule;
    }
}

TEST_F(ExclusionRulesTest, MetadataRulesCatchEveryEditorFolderAndFileAtAnyDepth) {
    dir.write("src/_vti_cnf/a");
    dir.write("src/dir/_vti_pvt/b");
    dir.write("src/dir/_vti_inf.html"); // the window hides it and check counts it as never deployed
    dir.write("src/dir/page_vti_.htm");
    const std::set<std::string> metadata{"_vti_cnf", "_vti_cnf/a", "dir/_vti_pvt", "dir/_vti_pvt/b",
                                         "dir/_vti_inf.html"};
    EXPECT_EQ(leftOutByRsync(std::string(app::RsyncMetadataRule)), metadata);
    ASSERT_EQ(run("git", {"-C", src.string(), "init", "-q"}).exitCode, 0);
    EXPECT_EQ(ignoredByGit(std::string(app::GitignoreMetadataRule)), metadata);
}
