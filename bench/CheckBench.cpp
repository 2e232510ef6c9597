// How long `varnook check` takes on a large web on disk: 20,000 files of which 5,000 are pages, and the
// link index alone over the same pages.
#include "app/Commands.h"
#include "links/LinkIndex.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int Folders = 100;
constexpr int PagesPerFolder = 50;
constexpr int OtherFilesPerFolder = 150;
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

// Builds the web once per process in a temporary folder; every tenth file and two folders are marked.
const fs::path& largeWeb() {
    static const fs::path web = [] {
        std::string pattern = (fs::temp_directory_path() / "varnook-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        const fs::path root = fs::path(pattern) / "web";
        fs::create_directories(root / "_vti_pvt");
        writeFile(root / "index.htm", "<a href=\"folder0/page0.htm\">start</a>");
        writeFile(root / "site.css", "body { background: url(folder1/pic1.gif) }");
        writeFile(root / "menu.js", "");
        int n = 0;
        for (int f = 0; f < Folders; ++f) {
            const fs::path folder = root / ("folder" + std::to_string(f));
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
        std::atexit([] { fs::remove_all(web.parent_path()); });
        return root;
    }();
    return web;
}

void BM_CheckLargeDiskWeb(benchmark::State& state) {
    const std::string web = largeWeb().string();
    std::ostringstream warnings;
    for (auto _ : state) {
        std::ostringstream out;
        const app::Outcome outcome = app::runCheck(web, app::CheckFormat::Text, false, out, warnings);
        benchmark::DoNotOptimize(outcome.exitCode);
        state.counters["output_bytes"] = static_cast<double>(out.str().size());
    }
}
BENCHMARK(BM_CheckLargeDiskWeb)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LinkIndexOfAllPages(benchmark::State& state) {
    const fs::path& web = largeWeb();
    std::vector<std::string> pages;
    for (int f = 0; f < Folders; ++f) {
        for (int p = 0; p < PagesPerFolder; ++p)
            pages.push_back("folder" + std::to_string(f) + "/page" + std::to_string(p) + ".htm");
    }
    for (auto _ : state) {
        const links::LinkIndex index = links::indexDocuments(web, pages);
        benchmark::DoNotOptimize(index.linksTo("folder1").size());
        state.counters["links"] = static_cast<double>(index.links().size());
    }
}
BENCHMARK(BM_LinkIndexOfAllPages)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
