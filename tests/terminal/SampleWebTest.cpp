#include "app/terminal/SampleWeb.h"

#include "host/Failure.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace fs = std::filesystem;
using terminal::ensureSampleWebCopy;
using testsupport::readFile;
using testsupport::TempDir;

namespace {

struct SampleWebTest : ::testing::Test {
    TempDir dir;
    void SetUp() override {
        dir.write("src/index.htm", "<html>home</html>");
        dir.write("src/_vti_cnf/index.htm", "vti_encoding:SR|utf8-nl\r\n");
        dir.write("src/private/notes.txt", "notes");
        dir.mkdir("src/archive/_vti_cnf");
    }
    std::vector<std::string> entries(const fs::path& folder) {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(folder))
            out.push_back(e.path().filename().string());
        return out;
    }
};

// Sets an environment variable for one test and puts the old value back.
struct ScopedEnv {
    std::string name;
    std::optional<std::string> old;
    ScopedEnv(std::string n, const char* value) : name(std::move(n)) {
        if (const char* v = std::getenv(name.c_str()))
            old = v;
        if (value)
            ::setenv(name.c_str(), value, 1);
        else
            ::unsetenv(name.c_str());
    }
    ~ScopedEnv() {
        if (old)
            ::setenv(name.c_str(), old->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
};

} // namespace

TEST_F(SampleWebTest, TheFirstUseCopiesEverythingAndLeavesNoTemporaryFolder) {
    const fs::path copy = ensureSampleWebCopy(dir / "src", dir / "data");
    EXPECT_EQ(copy, dir / "data/sample-web");
    EXPECT_EQ(readFile(copy / "index.htm"), "<html>home</html>");
    EXPECT_EQ(readFile(copy / "_vti_cnf/index.htm"), "vti_encoding:SR|utf8-nl\r\n");
    EXPECT_EQ(readFile(copy / "private/notes.txt"), "notes");
    EXPECT_TRUE(fs::is_directory(copy / "archive/_vti_cnf")) << "empty folders are part of the web";
    EXPECT_EQ(entries(dir / "data"), std::vector<std::string>{"sample-web"});
}

TEST_F(SampleWebTest, AnExistingCopyIsNeverOverwritten) {
    const fs::path copy = ensureSampleWebCopy(dir / "src", dir / "data");
    dir.write("data/sample-web/index.htm", "changed by the user");
    dir.write("data/sample-web/new.htm", "added");
    dir.write("src/index.htm", "a newer sample");

    EXPECT_EQ(ensureSampleWebCopy(dir / "src", dir / "data"), copy);
    EXPECT_EQ(readFile(copy / "index.htm"), "changed by the user");
    EXPECT_TRUE(fs::exists(copy / "new.htm"));
}

TEST_F(SampleWebTest, AReadOnlySourceGivesACopyTheUserCanMark) {
    const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec;
    fs::permissions(dir / "src/_vti_cnf/index.htm", fs::perms::owner_read);
    fs::permissions(dir / "src/_vti_cnf", readOnly);
    const fs::path copy = ensureSampleWebCopy(dir / "src", dir / "data");
    fs::permissions(dir / "src/_vti_cnf", fs::perms::owner_all);

    EXPECT_NE(fs::status(copy / "_vti_cnf").permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_NE(fs::status(copy / "_vti_cnf/index.htm").permissions() & fs::perms::owner_write,
              fs::perms::none);
}

TEST_F(SampleWebTest, ACopyThatCannotBeMadeFailsAndLeavesNothingBehind) {
    EXPECT_THROW(ensureSampleWebCopy(dir / "missing", dir / "data"), host::Failure);
    EXPECT_FALSE(fs::exists(dir / "data/sample-web"));

    dir.write("blocked", "a file where the data folder should be");
    EXPECT_THROW(ensureSampleWebCopy(dir / "src", dir / "blocked"), host::Failure);
    EXPECT_EQ(readFile(dir / "blocked"), "a file where the data folder should be");
}

TEST(SampleWebPlaces, TheDataFolderFollowsXdgDataHomeOnlyWhenAbsolute) {
    ScopedEnv home("HOME", "/home/pat");
    {
        ScopedEnv xdg("XDG_DATA_HOME", "/srv/data");
        EXPECT_EQ(terminal::dataFolder(), fs::path("/srv/data/varnook"));
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", "relative/data");
        EXPECT_EQ(terminal::dataFolder(), fs::path("/home/pat/.local/share/varnook"));
    }
    ScopedEnv xdg("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(terminal::dataFolder(), fs::path("/home/pat/.local/share/varnook"));
}

TEST(SampleWebPlaces, TheRepositorysSampleWebIsFound) {
    const auto found = terminal::findSampleWebSource();
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, fs::canonical(fs::path(VARNOOK_SOURCE_DIR) / "examples/sample-web"));
}
