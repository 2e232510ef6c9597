#include "webtree/FileImage.h"

#include "host/Failure.h"
#include "host/memory/MemoryWeb.h"

#include <gtest/gtest.h>

using host::Value;
using host::memory::MemoryApplication;
using host::memory::MemoryWeb;

namespace {

// The image GetFileImage gives the one file at `path`, whose mark is `mark` (none: no property).
std::string imageOf(const std::string& path, std::optional<Value> mark = std::nullopt) {
    MemoryWeb web("http://srv/web");
    auto& item = web.addFile(path);
    if (mark)
        item.properties["vti_donotpublish"] = *mark;
    MemoryApplication app(&web);
    auto files = app.activeWeb()->rootFolder()->files();
    return webtree::GetFileImage(*files.at(0));
}

} // namespace

TEST(FileImage, KindTableByLowerCasedExtension) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a.asp", "config"},     {"a.ASPX", "config"}, {"a.htm", "page"},      {"a.HTM", "page"},
        {"a.HtMl", "page"},      {"a.js", "script"},   {"a.vbs", "script"},    {"a.jpg", "jpg"},
        {"a.jpeg", "jpg"},       {"a.png", "jpg"},     {"a.gif", "gif"},       {"a.txt", "text"},
        {"a.inc", "text"},       {"a.wav", "media"},   {"a.mpeg", "media"},    {"a.avi", "media"},
        {"a.mpg", "media"},      {"a.mp3", "media"},   {"a.midi", "media"},    {"a.wma", "winmedia"},
        {"a.wmv", "winmedia"},   {"a.xml", "xml"},     {"a.xsd", "xml"},       {"a.xsl", "xml"},
        {"a.mid", "unknown"},    {"a.css", "unknown"}, {"a.shtml", "unknown"}, {"README", "unknown"},
        {"a.tar.gz", "unknown"}, {"a.", "unknown"},
    };
    for (const auto& [name, kind] : cases)
        EXPECT_EQ(imageOf(name), kind) << name;
}

TEST(FileImage, OnlyTheExactTextTrueMarks) {
    EXPECT_EQ(imageOf("a.JPG", Value::text("True")), "jpg_n");
    EXPECT_EQ(imageOf("a.asp", Value::boolean(true)), "config_n");
    EXPECT_EQ(imageOf("a.htm", Value::text("true")), "page");
    EXPECT_EQ(imageOf("a.htm", Value::text("TRUE")), "page");
    EXPECT_EQ(imageOf("a.htm", Value::number(1)), "page");
    EXPECT_EQ(imageOf("a.htm", Value::text("1")), "page");
    EXPECT_EQ(imageOf("a.htm", Value::boolean(false)), "page");
    EXPECT_EQ(imageOf("a.htm", Value::empty()), "page");
    EXPECT_EQ(imageOf("a.htm", Value::null()), "page");
    EXPECT_EQ(imageOf("a.htm"), "page");
    EXPECT_EQ(imageOf("a.mid", Value::text("True")), "unknown_n");
}

TEST(FileImage, AFailingMarkReadCountsAsUnmarked) {
    for (const char* operation : {"File.properties", "Properties.item"}) {
        MemoryWeb web("http://srv/web");
        web.addMarkedFile("a.gif");
        MemoryApplication app(&web);
        auto files = app.activeWeb()->rootFolder()->files();
        web.failOperation(operation);
        EXPECT_EQ(webtree::GetFileImage(*files.at(0)), "gif") << operation;
    }
}

TEST(FileImage, AFailingExtensionReadIsAnError) {
    MemoryWeb web("http://srv/web");
    web.addFile("a.gif");
    MemoryApplication app(&web);
    auto files = app.activeWeb()->rootFolder()->files();
    web.failOperation("File.extension");
    EXPECT_THROW(webtree::GetFileImage(*files.at(0)), host::Failure);
}
