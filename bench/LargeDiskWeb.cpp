#include "LargeDiskWeb.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace bench {
namespace {

namespace fs = std::filesystem;

const std::string Marked = "vti_encoding:SR|utf8-nl\r\nvti_donotpublish:BW|true\r\n";

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A page of about 3 KB with a dozen links: its neighbours, pictures here and in another folder, the style
// sheet, a missing page, and links that leave the web.
std::string page(int folder, int n) {
    std::ostringstream html;
    html << "<!DOCTYPE html><html><head><title>Page " << n << "</title>"
         << "<link rel=stylesheet href=\"../site.css\"><script src=\"../menu.js\"></script></head><body>"
         << "<div class=nav><a href=\"page" << (n + 1) % PagesPerFolder
         << ".htm\">next</a> <a href=\"../folder" << (folder + 1) % Folders << "/page" << n
         << ".htm#top\">over</a> <a href=\"/index.htm\">home</a>"
         << " <a href=\"http://example.com/\">away</a> <a href=\"mailto:pat@example.com\">mail</a></div>";
    for (int i = 0; i < 4; ++i)
        html
            << "<p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor incididunt "
               "ut labore et dolore magna aliqua. <img src=\"pic"
            << (n * 3 + i) % OtherFilesPerFolder << ".gif\" alt=\"\"></p>";
    html << "<p style=\"background:url(../folder" << (folder + 7) % Folders << "/pic" << n
         << ".gif)\">x</p><a href=\"missing" << n << ".htm\">gone</a></body></html>\n";
    return html.str();
}

// The web, built once per process in a temporary folder and removed at exit; every tenth file and two
// folders are marked.
class LargeWeb {
  public:
    LargeWeb() {
        std::string pattern = (fs::temp_directory_path() / "varnook-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        folder_ = pattern;
        root_ = folder_ / "web";
        build();
    }
    ~LargeWeb() {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    LargeWeb(const LargeWeb&) = delete;
    LargeWeb& operator=(const LargeWeb&) = delete;
    const fs::path& root() const { return root_; }

  private:
    void build() const {
        fs::create_directories(root_ / "_vti_pvt");
        writeFile(root_ / "index.htm", "<a href=\"folder0/page0.htm\">start</a>");
        writeFile(root_ / "site.css", "body { background: url(folder1/pic1.gif) }");
        writeFile(root_ / "menu.js", "");
        int n = 0;
        for (int f = 0; f < Folders; ++f) {
            const fs::path folder = root_ / ("folder" + std::to_string(f));
            fs::create_directories(folder / "_vti_cnf");
            if (f % 50 == 49)
                writeFile(folder / "_vti_cnf" / ".fp_folder_info", Marked);
            for (int p = 0; p < PagesPerFolder; ++p) {
                const std::string name = "page" + std::to_string(p) + ".htm";
                writeFile(folder / name, page(f, p));
                if (++n % 10 == 0 || f % 50 == 49)
                    writeFile(folder / "_vti_cnf" / name, Marked);
            }
            for (int i = 0; i < OtherFilesPerFolder; ++i) {
                const std::string name = "pic" + std::to_string(i) + ".gif";
                writeFile(folder / name, "GIF89a");
                if (++n % 10 == 0 || f % 50 == 49)
                    writeFile(folder / "_vti_cnf" / name, Marked);
            }
        }
    }

    fs::path folder_;
    fs::path root_;
};

} // namespace

const fs::path& largeWeb() {
    static const LargeWeb web;
    return web.root();
}

} // namespace bench
