// Any location asked of a small web on disk: the answer is an item of that web or none, never anything
// outside it, hidden, or reached through a symbolic link to a folder.
#include "host/Failure.h"
#include "host/disk/DiskWeb.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// web/ holds folders, files, hidden bookkeeping and links; outside/ and web-twin/ lie beside it, where
// a careless prefix test or a followed link would lead.
struct Sandbox {
    fs::path dir;
    fs::path web;
    std::ostringstream warnings;
    std::unique_ptr<host::disk::DiskApplication> app;

    Sandbox() {
        std::string pattern = (fs::temp_directory_path() / "varnook-fuzz-locate-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        dir = fs::canonical(pattern);
        web = dir / "web";
        for (const char* folder : {"web/a", "web/a/b", "web/_vti_cnf", "web/_private", "web/_derived",
                                   "web/sp ace", "outside", "web-twin"})
            fs::create_directories(dir / folder);
        for (const char* file : {"web/index.htm", "web/a/page.htm", "web/a/b/c.gif", "web/_vti_cnf/index.htm",
                                 "web/_derived/x.htm", "web/sp ace/f", "web/a/_vti_cnf/.fp_folder_info",
                                 "outside/secret", "web-twin/index.htm"})
            std::ofstream(dir / file) << "x";
        fs::create_directory_symlink(dir / "outside", web / "out");
        fs::create_directory_symlink("../..", web / "a" / "up");
        fs::create_symlink(dir / "outside" / "secret", web / "secret-link");
        app = std::make_unique<host::disk::DiskApplication>(web, warnings);
    }
    ~Sandbox() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

Sandbox& sandbox() {
    static Sandbox box;
    return box;
}

[[noreturn]] void fail(const char* what, const std::string& location, const std::string& url) {
    std::fprintf(stderr, "locate fuzzer: %s\nlocation: '%s'\nitem URL: '%s'\n", what, location.c_str(),
                 url.c_str());
    std::abort();
}

// True when every step from the web's root to `rel` is a real folder or, last, a file, none hidden.
bool isItemOfWeb(const fs::path& root, const std::string& rel) {
    fs::path at = root;
    std::size_t start = 0;
    while (true) {
        const auto slash = rel.find('/', start);
        const std::string name =
            rel.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        const bool hidden = name.starts_with("_vti_") || name == "_derived" || name == "_borders" ||
                            name == "_overlay" || name == "_themes" || name == "_fpclass";
        const bool unsafe = std::any_of(name.begin(), name.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '\\';
        });
        if (name.empty() || name == "." || name == ".." || hidden || unsafe)
            return false;
        at /= name;
        std::error_code ec;
        const auto status = fs::symlink_status(at, ec);
        if (ec)
            return false;
        if (slash == std::string::npos && name == ".fp_folder_info")
            return false;
        if (slash == std::string::npos)
            return fs::is_directory(status) || fs::is_regular_file(status) ||
                   (fs::is_symlink(status) && fs::is_regular_file(fs::status(at, ec)));
        if (!fs::is_directory(status))
            return false;
        start = slash + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Sandbox& box = sandbox();
    const std::string tail(reinterpret_cast<const char*>(data), size);
    // Half the inputs start inside the web, so the mutations explore its paths rather than its prefix.
    const std::string location = !tail.empty() && tail[0] == '@' ? box.web.string() + tail.substr(1) : tail;
    std::unique_ptr<host::Item> item;
    try {
        item = box.app->activeWeb()->locate(location);
    } catch (const host::Failure&) {
        return 0;
    }
    if (!item)
        return 0;
    const std::string url = item->url();
    const std::string base = box.web.string();
    if (url == base)
        return 0;
    if (!url.starts_with(base + "/"))
        fail("the item is outside the web", location, url);
    if (!isItemOfWeb(box.web, url.substr(base.size() + 1)))
        fail("the item is not a visible file or folder of the web", location, url);
    try {
        (void)item->properties()->item("vti_donotpublish");
    } catch (const host::Failure&) {
    }
    return 0;
}
