// How long `varnook check` and `varnook check --orphans` take on a large web on disk: 20,000 files of
// which 5,000 are pages, and the link index alone over the same pages.
#include "LargeDiskWeb.h"
#include "app/cli/Commands.h"
#include "host/disk/DiskWeb.h"
#include "links/LinkIndex.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using bench::Folders;
using bench::largeWeb;
using bench::PagesPerFolder;

// state.range(0): 1 for check --orphans, which walks the links from the home page instead of judging each.
void BM_CheckLargeDiskWeb(benchmark::State& state) {
    const std::string web = largeWeb().string();
    const bool orphans = state.range(0) == 1;
    std::ostringstream warnings;
    for (auto _ : state) {
        std::ostringstream out;
        const app::Outcome outcome =
            app::runCheck(web, app::CheckFormat::Text, false, orphans, out, warnings);
        benchmark::DoNotOptimize(outcome.exitCode);
        state.counters["output_bytes"] = static_cast<double>(out.str().size());
    }
}
BENCHMARK(BM_CheckLargeDiskWeb)
    ->ArgName("orphans")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_LinkIndexOfAllPages(benchmark::State& state) {
    const fs::path& web = largeWeb();
    std::vector<std::string> pages;
    for (int f = 0; f < Folders; ++f) {
        for (int p = 0; p < PagesPerFolder; ++p)
            pages.push_back("folder" + std::to_string(f) + "/page" + std::to_string(p) + ".htm");
    }
    std::ostringstream warnings;
    host::disk::DiskApplication app(web, warnings);
    for (auto _ : state) {
        const links::LinkIndex index =
            links::indexDocuments([&](const std::string& path) { return app.readFile(path); }, pages);
        benchmark::DoNotOptimize(index.linksTo("folder1").size());
        state.counters["links"] = static_cast<double>(index.links().size());
    }
}
BENCHMARK(BM_LinkIndexOfAllPages)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
