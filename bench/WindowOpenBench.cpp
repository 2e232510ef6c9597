// What opening the terminal's publishing window costs on a large web on disk: 20,000 files of which 5,000
// are pages, filled into the tree, every page read for the link warnings, and the warnings and the
// partly-excluded counts worked out once, as the first drawing does.
#include "app/ShownState.h"
#include "app/terminal/LinkWarnings.h"
#include "host/TreeModel.h"
#include "host/disk/DiskWeb.h"
#include "webtree/Fill.h"
#include "window/ImageKeys.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr int Folders = 100;
constexpr int PagesPerFolder = 50;
constexpr int OtherFilesPerFolder = 150;
const std::string Marked = "vti_encoding:SR|utf8-nl\r\nvti_donotpublish:BW|true\r\n";

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A page of about 2 KB with a dozen links into its folder, the next folder and the root.
std::string page(int folder, int n) {
    std::ostringstream html;
    html << "<!DOCTYPE html><html><head><title>Page " << n << "</title>"
         << "<link rel=stylesheet href=\"../site.css\"></head><body><a href=\"page"
         << (n + 1) % PagesPerFolder << ".htm\">next</a> <a href=\"../folder" << (folder + 1) % Folders
         << "/page" << n << ".htm\">over</a> <a href=\"/index.htm\">home</a>";
    for (int i = 0; i < 8; ++i)
        html << "<p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor. <img "
                "src=\"pic"
             << (n * 3 + i) % OtherFilesPerFolder << ".gif\"></p>";
    html << "</body></html>\n";
    return html.str();
}

// Built once per process in a temporary folder; every tenth file is marked.
const fs::path& largeWeb() {
    static const fs::path web = [] {
        std::string pattern = (fs::temp_directory_path() / "varnook-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        const fs::path root = fs::path(pattern) / "web";
        fs::create_directories(root / "_vti_pvt");
        writeFile(root / "index.htm", "<a href=\"folder0/page0.htm\">start</a>");
        writeFile(root / "site.css", "body { background: url(folder1/pic1.gif) }");
        int n = 0;
        for (int f = 0; f < Folders; ++f) {
            const fs::path folder = root / ("folder" + std::to_string(f));
            fs::create_directories(folder / "_vti_cnf");
            for (int p = 0; p < PagesPerFolder; ++p) {
                const std::string name = "page" + std::to_string(p) + ".htm";
                writeFile(folder / name, page(f, p));
                if (++n % 10 == 0)
                    writeFile(folder / "_vti_cnf" / name, Marked);
            }
            for (int i = 0; i < OtherFilesPerFolder; ++i) {
                const std::string name = "pic" + std::to_string(i) + ".gif";
                writeFile(folder / name, "GIF89a");
                if (++n % 10 == 0)
                    writeFile(folder / "_vti_cnf" / name, Marked);
            }
        }
        std::atexit([] { fs::remove_all(web.parent_path()); });
        return root;
    }();
    return web;
}

void BM_OpenWindowWithLinkWarnings(benchmark::State& state) {
    const fs::path& web = largeWeb();
    std::ostringstream warnings;
    for (auto _ : state) {
        host::disk::DiskApplication app(web, warnings);
        host::TreeModel tree(window::imageKeyList());
        webtree::Fill(app, tree);
        const auto links = terminal::LinkWarnings::build(tree, app.webPath());
        const auto warned = links.warnings(tree);
        const auto beneath = app::countBeneath(tree);
        benchmark::DoNotOptimize(warned.size() + beneath.size());
        state.counters["nodes"] = static_cast<double>(tree.count());
        state.counters["warned"] = static_cast<double>(warned.size());
    }
}
BENCHMARK(BM_OpenWindowWithLinkWarnings)->Unit(benchmark::kMillisecond)->Iterations(3);

// The part that a choice repeats: which items are warned, from the index already built.
void BM_LinkWarningsAfterAChoice(benchmark::State& state) {
    const fs::path& web = largeWeb();
    std::ostringstream warnings;
    host::disk::DiskApplication app(web, warnings);
    host::TreeModel tree(window::imageKeyList());
    webtree::Fill(app, tree);
    const auto links = terminal::LinkWarnings::build(tree, app.webPath());
    for (auto _ : state)
        benchmark::DoNotOptimize(links.warnings(tree).size());
}
BENCHMARK(BM_LinkWarningsAfterAChoice)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
