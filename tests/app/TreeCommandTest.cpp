#include "AppTestSupport.h"
#include "text/Utf8.h"

#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

using apptest::Marked;
using apptest::Varnook;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using testsupport::run;
using testsupport::TempDir;

namespace {

const std::string SampleWeb = VARNOOK_SOURCE_DIR "/examples/sample-web";

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

} // namespace

TEST(TreeCommand, PrintsTheWorkedExampleAsTsv) {
    TempDir dir;
    const std::string w = dir.mkdir("web").string();
    dir.write("web/images/pic.jpg", "jpeg");
    dir.mkdir("web/private");
    dir.write("web/index.htm", "<html>");
    dir.write("web/logo.gif", "GIF89a");
    dir.write("web/_vti_cnf/logo.gif", Marked);
    dir.write("web/_vti_pvt/service.cnf", "vti_encoding:SR|utf8-nl\n");

    const auto r = run(Varnook, {"tree", "--tsv", w});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_THAT(lines(r.out), ::testing::ElementsAre("0\tROOT\t" + w + "\tweb\tweb\t1",
                                                     "1\t" + w + "/images\timages\tclosed\topen\t0",
                                                     "2\t" + w + "/images/pic.jpg\tpic.jpg\tjpg\tjpg\t0",
                                                     "1\t" + w + "/private\tprivate\tclosed_n\topen_n\t0",
                                                     "1\t" + w + "/index.htm\tindex.htm\thome\thome\t0",
                                                     "1\t" + w + "/logo.gif\tlogo.gif\tgif_n\tgif_n\t0"));
}

TEST(TreeCommand, ReadableTreeShowsMarksKindsAndFolders) {
    TempDir dir;
    dir.write("web/docs/a.txt");
    dir.write("web/docs/_vti_cnf/a.txt", Marked);
    dir.write("web/default.htm");
    const auto r = run(Varnook, {"tree", (dir / "web").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto out = lines(r.out);
    ASSERT_GE(out.size(), 4u);
    EXPECT_THAT(out[0], StartsWith((dir / "web").string()));
    EXPECT_THAT(out[1], ::testing::MatchesRegex(R"(  \[x\] docs/ +folder)"));
    EXPECT_THAT(out[2], ::testing::MatchesRegex(R"(    \[x\] a.txt +text)"));
    EXPECT_THAT(out[3], ::testing::MatchesRegex(R"(  \[ \] default.htm +home page)"));

    // A name with a letter of two bytes takes one column, and the kinds stay in one column.
    dir.write("web/\xC3\xBC-umlaut.txt");
    const auto wide = lines(run(Varnook, {"tree", (dir / "web").string()}).out);
    const auto columnOf = [](const std::string& line, const std::string& kind) {
        return text::textWidth(line) - text::textWidth(kind);
    };
    ASSERT_GE(wide.size(), 5u);
    EXPECT_EQ(columnOf(wide[4], "text"), columnOf(wide[3], "home page")) << wide[3] << "\n" << wide[4];
}

TEST(TreeCommand, ReadableTreeShowsFoldersPartlyLeftOut) {
    TempDir dir;
    dir.write("web/docs/a.txt");
    dir.write("web/docs/b.txt");
    dir.write("web/docs/_vti_cnf/a.txt", Marked);
    dir.write("web/docs/deep/c.txt");
    dir.write("web/docs/deep/_vti_cnf/c.txt", Marked);
    dir.write("web/plain/d.txt");
    const auto r = run(Varnook, {"tree", (dir / "web").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto out = lines(r.out);
    ASSERT_GE(out.size(), 7u);
    EXPECT_THAT(out[0], StartsWith((dir / "web").string()));
    EXPECT_THAT(out[1], ::testing::MatchesRegex(R"(  \[~\] docs/ +folder)"))
        << "published, holds a.txt left out";
    EXPECT_THAT(out[2], ::testing::MatchesRegex(R"(    \[x\] a.txt +text)"));
    EXPECT_THAT(out[3], ::testing::MatchesRegex(R"(    \[ \] b.txt +text)"));
    EXPECT_THAT(out[4], ::testing::MatchesRegex(R"(    \[x\] deep/ +folder)"));
    EXPECT_THAT(out[5], ::testing::MatchesRegex(R"(      \[x\] c.txt +text)"));
    EXPECT_THAT(out[6], ::testing::MatchesRegex(R"(  \[ \] plain/ +folder)"));
    EXPECT_THAT(r.out, HasSubstr("[~] published, holds items left out"));
    // The script form keeps its image keys: no third state there.
    const auto tsv = run(Varnook, {"tree", "--tsv", (dir / "web").string()});
    EXPECT_THAT(tsv.out, HasSubstr("\tdocs\tclosed\topen\t0\n"));
}

TEST(TreeCommand, TheSampleWebShowsItsMarkedItems) {
    const auto r = run(Varnook, {"tree", "--tsv", SampleWeb});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("\tprivate\tclosed_n\topen_n\t0\n"));
    EXPECT_THAT(r.out, HasSubstr("\tclearance\tclosed_n\topen_n\t0\n"));
    EXPECT_THAT(r.out, HasSubstr("\tdraft-offers.htm\tpage_n\tpage_n\t0\n"));
    EXPECT_THAT(r.out, HasSubstr("\tindex.htm\thome\thome\t0\n"));
    EXPECT_THAT(r.out, HasSubstr("\tarchive\tclosed_n\topen_n\t0\n")) << "an empty folder shows marked";
    EXPECT_THAT(r.out, ::testing::Not(HasSubstr("_vti_")));
    EXPECT_THAT(r.out, ::testing::Not(HasSubstr("_borders")));
}

TEST(TreeCommand, UsageErrorsExitTwo) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"tree"}, {"tree", "--bogus", "x"}, {"frobnicate"}, {"tree", "a", "b"}}) {
        const auto r = run(Varnook, args);
        EXPECT_EQ(r.exitCode, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(r.out, "") << ::testing::PrintToString(args);
    }
}

TEST(TreeCommand, HelpAndVersionExitZero) {
    auto r = run(Varnook, {"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "varnook 3.0\n");
    r = run(Varnook, {"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_THAT(r.out, HasSubstr("tree"));
}

TEST(TreeCommand, AWebThatCannotBeOpenedIsOneClearLine) {
    TempDir dir;
    dir.write("plain-file");
    dir.mkdir("back\\slash");
    for (const std::string& path :
         {(dir / "missing").string(), (dir / "plain-file").string(), (dir / "back\\slash").string()}) {
        const auto r = run(Varnook, {"tree", path});
        EXPECT_EQ(r.exitCode, 1) << path;
        EXPECT_EQ(r.out, "") << path;
        // The reason once, the path once: no "cannot open the web ...: cannot open the web at ...".
        EXPECT_THAT(r.err, StartsWith("varnook: cannot open the web at " + path + ": ")) << path;
        EXPECT_EQ(r.err.find("cannot open", 10), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST(IconsCommand, WritesEveryImageAndTheIconAsPng) {
    TempDir dir;
    const auto out = dir / "icons";
    const auto r = run(Varnook, {"icons", out.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "wrote 27 images and the icon to " + out.string() + "\n");
    int pngs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string signature(8, '\0');
        in.read(signature.data(), 8);
        EXPECT_EQ(signature, "\x89PNG\r\n\x1a\n") << entry.path();
        ++pngs;
    }
    EXPECT_EQ(pngs, 28);
    EXPECT_TRUE(std::filesystem::exists(out / "icon.png"));
    for (const char* key : {"config", "closed_n", "web", "xml_n"})
        EXPECT_TRUE(std::filesystem::exists(out / (std::string(key) + ".png"))) << key;
}

TEST(IconsCommand, AFolderThatCannotBeMadeIsAnErrorWithNothingOnStdout) {
    TempDir dir;
    dir.write("plain-file");
    const auto r = run(Varnook, {"icons", (dir / "plain-file").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, StartsWith("varnook: "));
}
