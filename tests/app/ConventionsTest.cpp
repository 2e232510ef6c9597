// What every command shares: one-line errors, help, exit statuses, and output that is checked.
#include "AppTestSupport.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;
using ::testing::StartsWith;
using namespace apptest;
using testsupport::run;
using testsupport::TempDir;

namespace {

std::size_t lineCount(const std::string& s) {
    return static_cast<std::size_t>(std::count(s.begin(), s.end(), '\n'));
}

} // namespace

TEST(Conventions, UsageErrorsAreOneVarnookLineAndAPointerToHelp) {
    TempDir dir;
    const std::string web = dir.mkdir("web").string();
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"tree"},
                                               {"tree", "--bogus", web},
                                               {"tree", web, "extra"},
                                               {"excluded", "--format", "yaml", web},
                                               {"check", "--format", "rsync", web},
                                               {"mark", web},
                                               {"help", "bogus"},
                                               // What is quoted back reaches no terminal raw.
                                               {"tree", web, "ex\x1b[2Jtra\nitem"},
                                               {"frob\x1b]0;title\x07", web},
                                               {"help", "tr\nee"}}) {
        const auto r = run(Varnook, args);
        EXPECT_EQ(r.exitCode, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(r.out, "");
        EXPECT_THAT(r.err, StartsWith("varnook: ")) << r.err;
        EXPECT_EQ(lineCount(r.err), 2u) << r.err;
        EXPECT_THAT(r.err, ::testing::EndsWith("\nRun 'varnook --help' for more.\n"));
        EXPECT_EQ(
            std::count_if(r.err.begin(), r.err.end(), [](char c) { return c == '\x1b' || c == '\x07'; }), 0)
            << r.err;
    }
}

TEST(Conventions, AMistypedCommandIsNamedWithTheNearestOne) {
    TempDir dir;
    const std::string web = dir.mkdir("web").string();
    auto r = run(Varnook, {"tre", web});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_THAT(r.err, StartsWith("varnook: unknown command 'tre'; did you mean 'tree'?\n"));
    r = run(Varnook, {"exclude", "--format", "rsync", web});
    EXPECT_THAT(r.err, StartsWith("varnook: unknown command 'exclude'; did you mean 'excluded'?\n"));
    r = run(Varnook, {"frobnicate", web});
    EXPECT_THAT(r.err, StartsWith("varnook: unknown command 'frobnicate'\n"));
    r = run(Varnook, {"help", "chek"});
    EXPECT_THAT(r.err, StartsWith("varnook: unknown command 'chek'; did you mean 'check'?\n"));
}

TEST(Conventions, HelpForTheProgramAndEachCommand) {
    auto r = run(Varnook, {"help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* command : {"tree", "toggle", "mark", "unmark", "excluded", "check", "icons"})
        EXPECT_THAT(r.out, HasSubstr(command));
    r = run(Varnook, {"help", "mark"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_THAT(r.out, HasSubstr("--dry-run"));
    EXPECT_EQ(run(Varnook, {"mark", "--help"}).out, r.out);
}

TEST(Conventions, MessagesDoNotRepeatThemselves) {
    TempDir dir;
    const auto r = run(Varnook, {"tree", (dir / "missing").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "varnook: cannot open the web at " + (dir / "missing").string() +
                         ": No such file or directory\n");
}

TEST(Conventions, IconsIntoAFileGivesTheCauseNotALibraryMessage) {
    TempDir dir;
    dir.write("plain-file");
    const auto r = run(Varnook, {"icons", (dir / "plain-file").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, ::testing::MatchesRegex("varnook: cannot write the images into .*plain-file: "
                                               "(File exists|Not a directory)\n"));
}

TEST(Conventions, AFailedWriteOfTheOutputIsAnErrorAndSaysWhetherMarksWereWritten) {
    TempDir dir;
    const std::string web = dir.mkdir("web").string();
    dir.mkdir("web/_vti_pvt");
    dir.write("web/a.htm");
    markOnDisk(dir, "web", "a.htm");
    auto r = runToFile({"excluded", web}, "/dev/full");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "varnook: cannot write the output: No space left on device\n");
    r = runToFile({"tree", "--json", web}, "/dev/full");
    EXPECT_EQ(r.exitCode, 1);
    r = runToFile({"--help"}, "/dev/full");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "varnook: cannot write the output: No space left on device\n");

    r = runToFile({"toggle", web, "a.htm"}, "/dev/full");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "varnook: cannot write the output: No space left on device (the marks were written)\n");
    EXPECT_EQ(testsupport::readFile(dir / "web/_vti_cnf/a.htm"), Header);
    r = runToFile({"mark", "--dry-run", web, "a.htm"}, "/dev/full");
    EXPECT_EQ(r.err, "varnook: cannot write the output: No space left on device\n") << "nothing was written";

    // Output that fits is written whole; no output at all is no error.
    const auto file = dir / "out.txt";
    r = runToFile({"excluded", "--format", "rsync", web}, file.string());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(testsupport::readFile(file), "- _vti_*\n- .git\n- .hg\n- .svn\n");
    EXPECT_EQ(runToFile({"excluded", web}, "/dev/full").exitCode, 0);
}

// Output is written as it comes, a block at a time: a listing many blocks long arrives whole and in order,
// through a pipe and into a file alike.
TEST(Conventions, OutputLargerThanItsBufferArrivesWhole) {
    TempDir dir;
    const std::string web = dir.mkdir("web").string();
    dir.mkdir("web/_vti_pvt");
    // Long names, so that 2,000 files make some 300 KB of tab-separated lines.
    const std::string longName(100, 'n');
    for (int f = 0; f < 20; ++f) {
        dir.mkdir("web/folder" + std::to_string(f));
        for (int i = 0; i < 100; ++i)
            dir.write("web/folder" + std::to_string(f) + "/" + longName + std::to_string(i) + ".htm");
    }
    const auto piped = run(Varnook, {"tree", "--tsv", web});
    ASSERT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_GT(piped.out.size(), 4u * 64 * 1024);
    EXPECT_EQ(std::count(piped.out.begin(), piped.out.end(), '\n'), 1 + 20 + 2000);
    for (int i = 0; i < 100; i += 33)
        EXPECT_THAT(piped.out, HasSubstr("/folder19/" + longName + std::to_string(i) + ".htm\t"));

    const auto file = dir / "tree.tsv";
    const auto written = runToFile({"tree", "--tsv", web}, file.string());
    EXPECT_EQ(written.exitCode, 0);
    EXPECT_EQ(testsupport::readFile(file), piped.out);
}
