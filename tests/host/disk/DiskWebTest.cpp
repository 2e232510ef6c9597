#include "host/disk/DiskWeb.h"

#include "host/Failure.h"
#include "host/disk/TempWeb.h"

#include <algorithm>
#include <cstring>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace disktest;
using host::Value;
using host::disk::DiskApplication;

namespace {

constexpr const char* Mark = "vti_donotpublish";

std::string backslashed(std::string s) {
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

template <class T> std::unique_ptr<T> take(std::vector<std::unique_ptr<T>> items, std::size_t index) {
    return std::move(items.at(index));
}

ino_t inodeOf(const fs::path& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_ino;
}

class DiskWebTest : public ::testing::Test {
  protected:
    void SetUp() override { fs::create_directory(web); }
    std::unique_ptr<DiskApplication> open() { return std::make_unique<DiskApplication>(web, warnings); }
    std::string url(std::string_view rel) const { return web.string() + "/" + std::string(rel); }
    template <class List> Names names(const List& items) const {
        Names out;
        for (const auto& item : items)
            out.push_back(item->url().substr(web.string().size() + 1));
        return out;
    }

    TempDir tmp;
    fs::path web = tmp.path() / "web";
    std::ostringstream warnings;
};

} // namespace

TEST_F(DiskWebTest, OpensOnlyAPlainFolder) {
    EXPECT_THROW(DiskApplication(web / "missing", warnings), host::Failure);
    put(web / "file");
    EXPECT_THROW(DiskApplication(web / "file", warnings), host::Failure);
    EXPECT_THROW(DiskApplication("/", warnings), host::Failure);
    for (const char* odd : {"back\\slash", "tab\tname"}) {
        fs::create_directory(tmp.path() / odd);
        EXPECT_THROW(DiskApplication(tmp.path() / odd, warnings), host::Failure) << odd;
    }
    fs::create_directory_symlink(tmp.path() / "back\\slash", tmp.path() / "plain");
    EXPECT_THROW(DiskApplication(tmp.path() / "plain", warnings), host::Failure);

    fs::create_directory_symlink(web, tmp.path() / "alias");
    DiskApplication viaLink(tmp.path() / "alias" / "", warnings);
    EXPECT_EQ(viaLink.webPath(), web);
    EXPECT_EQ(viaLink.activeWeb()->url(), web.string());
    EXPECT_EQ(viaLink.activeWeb()->rootFolder()->url(), web.string());
}

TEST_F(DiskWebTest, UrlsAndRelativeUrls) {
    put(web / "a" / "b" / "page.htm");
    auto app = open();
    auto root = app->activeWeb()->rootFolder();
    auto a = take(root->folders(), 0);
    auto b = take(a->folders(), 0);
    auto page = take(b->files(), 0);
    EXPECT_EQ(a->url(), url("a"));
    EXPECT_EQ(page->url(), url("a/b/page.htm"));
    EXPECT_EQ(app->relativeUrl(*b, page->url()), "page.htm");
    EXPECT_EQ(app->relativeUrl(*root, page->url()), "a/b/page.htm");
    for (const std::string& notBelow : {web.string(), url(""), web.string() + "2/x", url("a/../x"),
                                        url("a//x"), std::string("a/b/page.htm")})
        EXPECT_THROW(app->relativeUrl(*root, notBelow), host::Failure) << notBelow;
    EXPECT_THROW(app->relativeUrl(*b, url("a/x")), host::Failure);
}

TEST_F(DiskWebTest, ListsInByteOrderWithoutHiddenEntriesOrLinkedFolders) {
    for (const char* d : {"a", "B", "zdir", "\xC3\xA9t\xC3\xA9", "_private", "_vti_cnf", "_vti_pvt",
                          "_derived", "_borders", "_overlay", "_themes", "_fpclass"})
        fs::create_directory(web / d);
    for (const char* f : {"b.htm", "A.htm", "_vti_inf.html", "archive.tar.gz", ".htaccess", "dot.", "none"})
        put(web / f);
    fs::create_directory_symlink(web / "a", web / "dirlink");
    fs::create_directory_symlink(web, web / "a" / "self");
    fs::create_symlink(web / "loop1", web / "loop2");
    fs::create_symlink(web / "loop2", web / "loop1");
    fs::create_symlink(web / "b.htm", web / "filelink.htm");
    fs::create_symlink(web / "gone", web / "dangling.htm");
    ASSERT_EQ(::mkfifo((web / "pipe").c_str(), 0600), 0);

    auto root = open()->activeWeb()->rootFolder();
    EXPECT_EQ(names(root->folders()), (Names{"B", "_private", "a", "zdir", "\xC3\xA9t\xC3\xA9"}));
    const auto files = root->files();
    EXPECT_EQ(names(files),
              (Names{".htaccess", "A.htm", "archive.tar.gz", "b.htm", "dot.", "filelink.htm", "none"}));
    Names extensions;
    for (const auto& file : files)
        extensions.push_back(file->extension());
    EXPECT_EQ(extensions, (Names{"htaccess", "htm", "gz", "htm", "", "htm", ""}));
    EXPECT_TRUE(root->folders().at(2)->folders().empty());

    // Lists are read at the call; a folder swapped for a link is not followed out of the web.
    auto zdir = take(root->folders(), 3);
    fs::remove(web / "zdir");
    try {
        zdir->files();
        ADD_FAILURE() << "listed a folder that is gone";
    } catch (const host::Failure& failure) {
        EXPECT_NE(std::string(failure.what()).find((web / "zdir").string()), std::string::npos)
            << failure.what();
    }
    fs::create_directory_symlink(tmp.path(), web / "zdir");
    EXPECT_THROW(zdir->folders(), host::Failure);
}

TEST_F(DiskWebTest, UnsafeNamesAreLeftOutWithOneWarningEach) {
    put(web / "ok.htm");
    put(web / "a\\b.htm");
    fs::create_directory(web / "c\x01"
                               "d");
    put(web / "sub" / "x\ny");
    put(web / ".fp_folder_info");
    auto app = open();
    for (int pass = 0; pass < 2; ++pass) {
        auto root = app->activeWeb()->rootFolder();
        EXPECT_EQ(names(root->files()), Names{"ok.htm"});
        EXPECT_EQ(names(root->folders()), Names{"sub"});
        EXPECT_TRUE(root->folders().at(0)->files().empty());
    }
    const std::string out = warnings.str();
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 4) << out;
    for (const std::string& expected :
         Names{"varnook: warning: the window cannot show 'a\\b.htm' in " + web.string() +
                   ", so no mark keeps it from a deploy: its name holds a backslash or control character\n",
               "'c\\x01d' in " + web.string(), "'x\\x0Ay' in " + (web / "sub").string(), "'.fp_folder_info'"})
        EXPECT_NE(out.find(expected), std::string::npos) << expected << " not in\n" << out;
}

// What the window cannot show, no mark can keep out of a deploy: each such entry is named once, with why.
TEST_F(DiskWebTest, EntriesThatAreNeitherFilesNorFoldersAreLeftOutWithAWarningEach) {
    put(web / "ok.htm");
    fs::create_directory(web / "real");
    ASSERT_EQ(::mkfifo((web / "pipe").c_str(), 0600), 0);
    fs::create_directory_symlink(web / "real", web / "folderlink");
    fs::create_symlink(web / "nothing-there", web / "dangling");
    fs::create_symlink(web / "pipe", web / "pipelink");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = (web / "socket").string();
    const bool bound = socketPath.size() < sizeof(address.sun_path) &&
                       (std::strcpy(address.sun_path, socketPath.c_str()),
                        ::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0);
    ::close(sock);

    auto app = open();
    for (int pass = 0; pass < 2; ++pass) {
        auto root = app->activeWeb()->rootFolder();
        EXPECT_EQ(names(root->files()), Names{"ok.htm"});
        EXPECT_EQ(names(root->folders()), Names{"real"});
    }
    const std::string out = warnings.str();
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), bound ? 5 : 4) << out;
    for (const std::string& expected :
         Names{"varnook: warning: the window cannot show 'pipe' in " + web.string() +
                   ", so no mark keeps it from a deploy: it is a named pipe, not a file\n",
               "'folderlink' in " + web.string() +
                   ", so no mark keeps it from a deploy: it is a symbolic link to a folder, and links to "
                   "folders "
                   "are never followed\n",
               "'dangling' in " + web.string() +
                   ", so no mark keeps it from a deploy: it is a symbolic link to nothing\n",
               "'pipelink' in " + web.string() +
                   ", so no mark keeps it from a deploy: it is a symbolic link to something that is neither "
                   "a file "
                   "nor a folder\n"})
        EXPECT_NE(out.find(expected), std::string::npos) << expected << " not in\n" << out;
    if (bound) {
        EXPECT_NE(out.find("'socket' in " + web.string() +
                           ", so no mark keeps it from a deploy: it is a socket, not a file\n"),
                  std::string::npos)
            << out;
    }
}

TEST_F(DiskWebTest, HomePageIsTheFirstCandidatePresent) {
    auto app = open();
    // A Web object answers as the web stood when it first looked; each one looks afresh.
    auto home = [&] { return app->activeWeb()->homePageUrl(); };
    EXPECT_EQ(home(), std::nullopt);
    put(web / "sub" / "index.htm");
    put(web / "default.html");
    EXPECT_EQ(home(), url("default.html"));
    auto w = app->activeWeb();
    EXPECT_EQ(w->homePageUrl(), url("default.html"));
    put(web / "default.htm");
    EXPECT_EQ(home(), url("default.htm"));
    EXPECT_EQ(w->homePageUrl(), url("default.html"));
    fs::create_directory(web / "index.htm");
    put(web / "index.html");
    EXPECT_EQ(home(), url("index.html"));
    fs::remove(web / "index.htm");
    put(web / "index.htm");
    EXPECT_EQ(home(), url("index.htm"));
}

TEST_F(DiskWebTest, LocateStaysInsideTheWeb) {
    put(web / "images" / "pic.jpg");
    put(web / "_vti_cnf" / "x");
    put(web / "_borders" / "top.htm");
    TempDir outside;
    put(outside.path() / "secret.txt");
    fs::create_directory_symlink(outside.path(), web / "out");
    auto w = open()->activeWeb();

    for (const std::string& location : {backslashed(url("images/pic.jpg")), url("images/pic.jpg")}) {
        auto item = w->locate(location);
        ASSERT_NE(dynamic_cast<host::File*>(item.get()), nullptr) << location;
        EXPECT_EQ(item->url(), url("images/pic.jpg"));
    }
    auto root = w->locate(backslashed(web.string()));
    ASSERT_NE(dynamic_cast<host::Folder*>(root.get()), nullptr);
    EXPECT_EQ(root->url(), web.string());
    EXPECT_NE(dynamic_cast<host::Folder*>(w->locate(backslashed(url("images"))).get()), nullptr);

    for (const char* none : {"images/none.jpg", "images/pic.jpg/x", "_vti_cnf", "_vti_cnf/x",
                             "_borders/top.htm", "out", "out/secret.txt", "a\x01"})
        EXPECT_EQ(w->locate(backslashed(url(none))), nullptr) << none;
    for (const std::string& bad : Names{url("images/../images/pic.jpg"), backslashed(url("images/../../web")),
                                        url("./images"), url("images//pic.jpg"), url(""), url(".."),
                                        web.string() + "2", "/etc/passwd", "", "images/pic.jpg"})
        EXPECT_THROW(w->locate(bad), host::Failure) << bad;
    // Right after an item of the same folder, whose folder part was checked already.
    for (const char* bad : {"images/../images/pic.jpg", "images/./pic.jpg", "images//pic.jpg",
                            "images/pic.jpg/..", "images/.", "images/../.."}) {
        ASSERT_NE(w->locate(url("images/pic.jpg")), nullptr);
        EXPECT_THROW(w->locate(backslashed(url(bad))), host::Failure) << bad;
    }
}

// Files, metadata files and listings reached by their path below the web, as undo reaches them: every path
// is walked from the last one, so a forged step right after a neighbour must be refused all the same.
TEST_F(DiskWebTest, PathsBelowTheWebAreCheckedAfterANeighbourToo) {
    put(web / "images" / "pic.jpg", "jpg");
    put(web / "images" / "_vti_cnf" / "pic.jpg", "vti_donotpublish:BW|true\n");
    put(web / "images" / "deep" / "x.htm");
    TempDir outside;
    put(outside.path() / "secret.txt");
    fs::create_directory_symlink(outside.path(), web / "out");
    auto app = open();

    for (const char* bad : {"images//pic.jpg", "images/../images/pic.jpg", "images/./pic.jpg",
                            "/images/pic.jpg", "images/deep/../pic.jpg", "images/deep/.."}) {
        ASSERT_EQ(app->readFile("images/deep/x.htm"), "");
        EXPECT_THROW(app->readFile(bad), host::Failure) << bad;
        ASSERT_TRUE(app->readMetadataFile("images", "pic.jpg"));
        EXPECT_THROW(app->listFolder(bad), host::Failure) << bad;
    }
    EXPECT_THROW(app->readMetadataFile("images//deep", ""), host::Failure);
    EXPECT_EQ(app->readFile("images/pic.jpg"), "jpg");
    const auto listing = app->listFolder("images");
    ASSERT_TRUE(listing);
    EXPECT_EQ(listing->folders, Names{"deep"});
    EXPECT_EQ(listing->files, Names{"pic.jpg"});
    EXPECT_FALSE(app->listFolder("out")) << "a link is no folder of the web";
    EXPECT_FALSE(app->listFolder("images/none"));
    EXPECT_FALSE(app->readMetadataFile("out", "secret.txt"));
}

TEST_F(DiskWebTest, ReadsPropertiesFromTheEditorsFiles) {
    put(web / "a" / "p.htm");
    put(web / "a" / "_vti_cnf" / "p.htm", "vti_encoding:SR|utf8-nl\r\nvti_donotpublish:BW|true\r\n");
    put(web / "a" / "_vti_cnf" / ".fp_folder_info", "vti_donotpublish:BR|TRUE\n");
    put(web / "_vti_cnf" / ".fp_folder_info", "vti_title:SR|Home\n");
    put(web / "q.htm");
    auto w = open()->activeWeb();
    EXPECT_EQ(w->locate(url("a/p.htm"))->properties()->item(Mark), Value::boolean(true));
    EXPECT_EQ(w->locate(url("a"))->properties()->item(Mark), Value::boolean(true));
    EXPECT_EQ(w->rootFolder()->properties()->item("vti_title"), Value::text("Home"));
    EXPECT_EQ(w->rootFolder()->properties()->item(Mark), Value::empty());
    EXPECT_EQ(w->locate(url("q.htm"))->properties()->item(Mark), Value::empty());
}

TEST_F(DiskWebTest, ApplyRewritesOnlyTheChangedLines) {
    const fs::path meta = web / "_vti_cnf" / "p.htm";
    put(web / "p.htm");
    put(meta, "vti_encoding:SR|utf8-nl\r\nvti_author:SR|me\r\nvti_donotpublish:BR|false\r\nodd\r\nvti_title:"
              "SR|a|b");
    auto app = open();
    app->activeWeb()->locate(url("p.htm"))->properties()->set(Mark, Value::boolean(true));

    // Still pending, and applied through objects obtained later.
    auto file = app->activeWeb()->locate(url("p.htm"));
    EXPECT_EQ(file->properties()->item(Mark), Value::boolean(false));
    file->properties()->apply();
    EXPECT_EQ(get(meta), "vti_encoding:SR|utf8-nl\r\nvti_author:SR|me\r\nvti_donotpublish:BW|true\r\nodd\r\n"
                         "vti_title:SR|a|b");
    EXPECT_EQ(namesIn(web / "_vti_cnf"), Names{"p.htm"});

    auto props = file->properties();
    props->remove("vti_author");
    EXPECT_THROW(props->remove("vti_author"), host::Failure);
    EXPECT_THROW(props->remove("never"), host::Failure);
    EXPECT_THROW(props->set("x", Value::null()), host::Failure);
    props->apply();
    EXPECT_EQ(get(meta), "vti_encoding:SR|utf8-nl\r\nvti_donotpublish:BW|true\r\nodd\r\nvti_title:SR|a|b");

    const ino_t before = inodeOf(meta);
    props->set(Mark, Value::boolean(true));
    file->properties()->apply();
    EXPECT_EQ(inodeOf(meta), before) << "an apply without net change rewrote the file";
}

TEST_F(DiskWebTest, FirstChangeCreatesTheMetadataFiles) {
    put(web / "p.htm");
    fs::create_directory(web / "f");
    auto root = open()->activeWeb()->rootFolder();
    std::vector<std::unique_ptr<host::Item>> items;
    items.push_back(take(root->files(), 0));
    items.push_back(take(root->folders(), 0));

    auto props = items[0]->properties();
    props->apply();
    props->set("x", Value::text("1"));
    props->remove("x");
    props->apply();
    EXPECT_FALSE(fs::exists(web / "_vti_cnf"));

    items.push_back(std::move(root));
    for (const auto& item : items) {
        item->properties()->set(Mark, Value::boolean(true));
        item->properties()->apply();
    }
    for (const fs::path& meta : {web / "_vti_cnf" / "p.htm", web / "f" / "_vti_cnf" / ".fp_folder_info",
                                 web / "_vti_cnf" / ".fp_folder_info"})
        EXPECT_EQ(get(meta), "vti_encoding:SR|utf8-nl\r\nvti_donotpublish:BW|true\r\n") << meta;
    EXPECT_EQ(namesIn(web / "_vti_cnf"), (Names{".fp_folder_info", "p.htm"}));
}

TEST_F(DiskWebTest, ApplyForAnItemThatIsGoneWritesNothing) {
    put(web / "gone.htm");
    auto gone = open()->activeWeb()->locate(url("gone.htm"));
    fs::remove(web / "gone.htm");
    gone->properties()->set(Mark, Value::boolean(true));
    EXPECT_THROW(gone->properties()->apply(), host::Failure);
    EXPECT_FALSE(fs::exists(web / "_vti_cnf"));
}

TEST_F(DiskWebTest, PermissionDeniedFailsWithoutChangingAnything) {
    SKIP_WHEN_ROOT();
    const fs::path meta = web / "_vti_cnf" / "p.htm";
    put(web / "p.htm");
    put(meta, "vti_donotpublish:BW|false\r\n");
    auto app = open();
    auto props = app->activeWeb()->locate(url("p.htm"))->properties();
    {
        Permissions locked(meta, fs::perms::none);
        EXPECT_THROW(props->item(Mark), host::Failure);
    }
    {
        Permissions locked(web / "_vti_cnf", fs::perms::owner_read | fs::perms::owner_exec);
        props->set(Mark, Value::boolean(true));
        EXPECT_THROW(props->apply(), host::Failure);
        EXPECT_EQ(get(meta), "vti_donotpublish:BW|false\r\n");
        EXPECT_EQ(namesIn(web / "_vti_cnf"), Names{"p.htm"});
    }
    Permissions locked(web, fs::perms::none);
    EXPECT_THROW(DiskApplication(web, warnings), host::Failure);
    EXPECT_THROW(app->activeWeb()->rootFolder()->files(), host::Failure);
}
