// `varnook toggle` on a web whose metadata cannot be written: every item is still tried, what did change
// is printed, and the command fails with one line that counts what was not written.
#include "AppTestSupport.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

using apptest::Varnook;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using testsupport::run;
using testsupport::TempDir;

namespace {

std::string name(int i) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "f%03d.htm", i);
    return buffer;
}

std::size_t lines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

std::size_t linesStartingWith(const std::string& text, const std::string& prefix) {
    std::istringstream in(text);
    std::size_t n = 0;
    for (std::string line; std::getline(in, line);)
        n += line.find(prefix) != std::string::npos ? 1 : 0;
    return n;
}

} // namespace

TEST(WriteFailureCommand, HalfTheMetadataFilesAreFoldersSoHalfTheItemsFail) {
    // A folder where a metadata file belongs cannot be replaced by a file, not even by root.
    TempDir dir;
    dir.mkdir("web/_vti_pvt");
    std::vector<std::string> args{"toggle", (dir / "web").string()};
    for (int i = 0; i < 200; ++i) {
        dir.write("web/docs/" + name(i), "<html>");
        if (i % 2 == 1)
            dir.mkdir("web/docs/_vti_cnf/" + name(i));
        args.push_back("docs/" + name(i));
    }
    const auto r = run(Varnook, args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, StartsWith("varnook: could not write the mark of 100 of 200 items: " +
                                  (dir / "web/docs/").string() + name(1) + ": "));
    EXPECT_THAT(r.err, HasSubstr("; and 97 more"));
    EXPECT_EQ(lines(r.err), 1u) << r.err;
    EXPECT_EQ(linesStartingWith(r.out, "marked  docs/f"), 100u) << "only what was written is said to be";
    EXPECT_THAT(r.out, HasSubstr("100 marked, 0 published"));

    // Read again, the web shows the truth: the refused half is unmarked (its metadata cannot be read).
    const auto tree = run(Varnook, {"tree", "--tsv", (dir / "web").string()});
    ASSERT_EQ(tree.exitCode, 0) << tree.err;
    EXPECT_EQ(linesStartingWith(tree.out, "\tpage_n\tpage_n\t"), 100u);
    EXPECT_THAT(tree.out, HasSubstr("/docs/" + name(0) + "\t" + name(0) + "\tpage_n\t"));
    EXPECT_THAT(tree.out, HasSubstr("/docs/" + name(1) + "\t" + name(1) + "\tpage\t"));
}

TEST(WriteFailureCommand, AMetadataFolderThatIsAFileFailsEveryWriteInIt) {
    TempDir dir;
    dir.mkdir("web/_vti_pvt");
    dir.write("web/index.htm", "<html>");
    dir.write("web/docs/a.htm", "<html>");
    dir.write("web/docs/b.gif", "GIF89a");
    dir.write("web/docs/_vti_cnf", "not a folder");
    const auto r = run(Varnook, {"toggle", (dir / "web").string(), "docs", "index.htm"});
    EXPECT_EQ(r.exitCode, 1);
    // The folder's own mark lives in its _vti_cnf too: three items fail, the home page is written.
    EXPECT_THAT(r.err, StartsWith("varnook: could not write the mark of 3 of 4 items: "));
    EXPECT_THAT(r.err, HasSubstr("it is not a real folder"));
    EXPECT_EQ(lines(r.err), 1u) << r.err;
    const auto excluded = run(Varnook, {"excluded", (dir / "web").string()});
    EXPECT_EQ(excluded.out, "index.htm\n");
}
