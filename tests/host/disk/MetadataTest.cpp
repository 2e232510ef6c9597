#include "host/disk/Metadata.h"

#include "host/Failure.h"
#include "host/disk/MetadataFiles.h"
#include "host/disk/TempWeb.h"

#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace md = host::disk::metadata;
using namespace disktest;
using host::Value;

namespace {

md::Change set(std::string name, Value v) {
    return {std::move(name), std::move(v)};
}
md::Change drop(std::string name) {
    return {std::move(name), std::nullopt};
}
const md::Change Mark = set("vti_donotpublish", Value::boolean(true));

} // namespace

TEST(MetadataParse, SplitsAndUnescapesLines) {
    const auto e = md::parseLine("vti_donotpublish:BW|true");
    ASSERT_TRUE(e);
    EXPECT_EQ(std::tie(e->name, e->type, e->access, e->value),
              std::make_tuple("vti_donotpublish", 'B', 'W', "true"));
    EXPECT_EQ(md::parseLine("a:SR|x|y:z")->value, "x|y:z");
    EXPECT_EQ(md::parseLine(R"(a:SR|c:\\dir\r\n\q)")->value, "c:\\dir\r\n\\q");
    EXPECT_EQ(md::parseLine(R"(my\:name:SW|v)")->name, "my:name");
    EXPECT_EQ(md::parseLine(R"(a\\:SW|v)")->name, "a\\"); // the escaped backslash does not escape the colon
    for (const char* bad : {"", "garbage", "name:S|x", "name:SWx", ":SW|x", "n:1W|x", R"(only\:escaped)"})
        EXPECT_FALSE(md::parseLine(bad)) << bad;
}

TEST(MetadataParse, ReadsValuesByType) {
    const std::pair<const char*, Value> cases[] = {{"BW|TRUE", Value::boolean(true)},
                                                   {"BR|1", Value::boolean(true)},
                                                   {"BW|False", Value::boolean(false)},
                                                   {"BW|0", Value::boolean(false)},
                                                   {"BW|yes", Value::text("yes")},
                                                   {"SR|42", Value::text("42")},
                                                   {"LR|long", Value::text("long")},
                                                   {"IR|-42", Value::number(-42)},
                                                   {"IR|4x", Value::text("4x")},
                                                   {"DR|2.5", Value::number(2.5)},
                                                   {"TR|01 Jan 2003", Value::text("01 Jan 2003")},
                                                   {"VR|a b", Value::text("a b")}};
    for (const auto& [stored, value] : cases)
        EXPECT_EQ(md::toValue(*md::parseLine(std::string("p:") + stored)), value) << stored;

    const std::string doc = "vti_encoding:SR|utf8-nl\r\nbroken line\nx:IR|1\r\nx:IR|2\ny:SW|last";
    EXPECT_EQ(md::lookup(doc, "x"), Value::number(1));
    EXPECT_EQ(md::lookup(doc, "y"), Value::text("last"));
    EXPECT_EQ(md::lookup(doc, "broken line"), Value::empty());
    EXPECT_EQ(md::lookup(doc, "X"), Value::empty());
    EXPECT_TRUE(md::contains(doc, "vti_encoding"));
}

TEST(MetadataFormat, WritesTypedEscapedLinesThatReadBack) {
    EXPECT_EQ(md::formatLine("vti_donotpublish", Value::boolean(true)), "vti_donotpublish:BW|true");
    EXPECT_EQ(md::formatLine("b", Value::boolean(false)), "b:BW|false");
    EXPECT_EQ(md::formatLine("n", Value::number(-7)), "n:IW|-7");
    EXPECT_EQ(md::formatLine("n", Value::number(2.5)), "n:DW|2.5");

    const std::string name = "odd:name\\\r\n";
    const std::string text = "a|b\\c\r\nd";
    const auto back = md::parseLine(md::formatLine(name, Value::text(text)));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name, name);
    EXPECT_EQ(md::toValue(*back), Value::text(text));

    for (const Value& v : {Value::empty(), Value::null(), Value::number(std::nan(""))})
        EXPECT_THROW(md::formatLine("p", v), host::Failure) << describe(v);
    EXPECT_THROW(md::formatLine("", Value::boolean(true)), host::Failure);
}

TEST(MetadataRewrite, ChangesOnlyTheNamedLines) {
    const std::string doc =
        "vti_encoding:SR|utf8-nl\r\nkeep:SR|a\\\\b\nvti_donotpublish:BR|false\nodd\r\ntail:SR|t";
    EXPECT_EQ(md::rewrite(doc, {Mark}),
              "vti_encoding:SR|utf8-nl\r\nkeep:SR|a\\\\b\nvti_donotpublish:BW|true\nodd\r\ntail:SR|t");
    EXPECT_EQ(md::rewrite(doc, {drop("keep"), drop("odd")}),
              "vti_encoding:SR|utf8-nl\r\nvti_donotpublish:BR|false\nodd\r\ntail:SR|t");
    EXPECT_EQ(md::rewrite("d:SR|1\r\nx:SR|2\r\nd:SR|3\r\n", {set("d", Value::text("new"))}),
              "d:SW|new\r\nx:SR|2\r\n");
    EXPECT_EQ(md::rewrite("d:SR|1\r\nx:SR|2\r\nd:SR|3\r\n", {drop("d")}), "x:SR|2\r\n");

    // Appended lines follow the file's usual ending. After an unfinished last line the new line is the
    // unfinished one, so that removing it again gives the file back as it was.
    EXPECT_EQ(md::rewrite("a:SR|1\nb:SR|2\r\nc:SR|3\nd:SR|4", {Mark}),
              "a:SR|1\nb:SR|2\r\nc:SR|3\nd:SR|4\nvti_donotpublish:BW|true");
    EXPECT_EQ(md::rewrite("a:SR|1\r\nb:SR|2", {Mark}), "a:SR|1\r\nb:SR|2\r\nvti_donotpublish:BW|true");
    EXPECT_EQ(md::rewrite("a:SR|1\r\nb:SR|2\r\nvti_donotpublish:BW|true", {drop("vti_donotpublish")}),
              "a:SR|1\r\nb:SR|2");
    EXPECT_EQ(md::rewrite("", {Mark}), "vti_donotpublish:BW|true\r\n");
    EXPECT_EQ(md::rewrite(std::nullopt, {Mark}), "vti_encoding:SR|utf8-nl\r\nvti_donotpublish:BW|true\r\n");
}

TEST(MetadataRewrite, NoNetChangeGivesNothingToWrite) {
    const std::string doc = "vti_encoding:SR|utf8-nl\nvti_donotpublish:BW|true\n";
    EXPECT_FALSE(md::rewrite(doc, {}));
    EXPECT_FALSE(md::rewrite(doc, {Mark}));
    EXPECT_FALSE(md::rewrite(doc, {drop("absent")}));
    EXPECT_FALSE(md::rewrite(std::nullopt, {drop("vti_donotpublish")}));
}

// Each line ending is a line ending, whichever a file uses, and a rewrite keeps the file's own.
TEST(MetadataLineEndings, CrOnlyLfAndCrlfFilesReadAndRewriteAlike) {
    for (const std::string ending : {"\r", "\n", "\r\n"}) {
        const std::string doc = "vti_encoding:SR|utf8-nl" + ending + "vti_donotpublish:BW|true" + ending;
        EXPECT_EQ(md::lookup(doc, "vti_donotpublish"), Value::boolean(true)) << int(ending.size());
        EXPECT_EQ(md::lookup(doc, "vti_encoding"), Value::text("utf8-nl"));
        EXPECT_FALSE(md::rewrite(doc, {Mark})) << "a mark already there was written again";
        EXPECT_EQ(md::rewrite(doc, {drop("vti_donotpublish")}), "vti_encoding:SR|utf8-nl" + ending);
        const std::string bare = "vti_encoding:SR|utf8-nl" + ending + "vti_author:SR|me";
        EXPECT_EQ(md::rewrite(bare, {Mark}), "vti_encoding:SR|utf8-nl" + ending + "vti_author:SR|me" +
                                                 ending + "vti_donotpublish:BW|true");
    }
    // A lone CR inside a CRLF file is a line ending too; the new line follows the file's majority.
    EXPECT_EQ(md::rewrite("a:SR|1\rb:SR|2\r\nc:SR|3\r\n", {Mark}),
              "a:SR|1\rb:SR|2\r\nc:SR|3\r\nvti_donotpublish:BW|true\r\n");
}

TEST(MetadataFiles, ReadTellsMissingFromUnreadable) {
    TempDir dir;
    const int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    const md::Shown shown = [] { return std::string("the file"); };
    EXPECT_FALSE(md::readAt(fd, "none", shown));
    fs::create_directory(dir.path() / "folder");
    EXPECT_THROW(md::readAt(fd, "folder", shown), host::Failure);
    ASSERT_EQ(::mkfifo((dir.path() / "fifo").c_str(), 0600), 0);
    EXPECT_THROW(md::readAt(fd, "fifo", shown), host::Failure); // rather than waiting for a writer
    put(dir.path() / "real", "x:SR|1\r\n");
    fs::create_symlink(dir.path() / "real", dir.path() / "link");
    fs::create_symlink(dir.path() / "gone", dir.path() / "dangling");
    EXPECT_EQ(md::readAt(fd, "real", shown), "x:SR|1\r\n");
    EXPECT_THROW(md::readAt(fd, "link", shown), host::Failure);
    EXPECT_THROW(md::readAt(fd, "dangling", shown), host::Failure);
    ::close(fd);
}

TEST(MetadataFiles, TemporaryNamesAreOursOnly) {
    EXPECT_TRUE(md::isTemporaryName(".varnook\\123-0.tmp"));
    // The first is a name an item of the web may have: its metadata file is no temporary file.
    for (const char* other :
         {".varnook-123-0.tmp", ".varnook\\-0.tmp", ".varnook\\1-.tmp", ".varnook\\1-2.tmpx",
          "varnook\\1-2.tmp", ".varnook\\a-2.tmp", ".varnook\\1.tmp", "page.htm"})
        EXPECT_FALSE(md::isTemporaryName(other)) << other;
}
