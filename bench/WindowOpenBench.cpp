// What opening the terminal's publishing window costs on the large web on disk (LargeDiskWeb.h), filled
// into the tree, every page read for the link warnings, and the warnings and the
// partly-excluded counts worked out once, as the first drawing does.
#include "LargeDiskWeb.h"
#include "app/publishing/ShownState.h"
#include "app/terminal/LinkWarnings.h"
#include "host/TreeModel.h"
#include "host/disk/DiskWeb.h"
#include "webtree/Fill.h"
#include "window/ImageKeys.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using bench::largeWeb;

void BM_OpenWindowWithLinkWarnings(benchmark::State& state) {
    const fs::path& web = largeWeb();
    std::ostringstream warnings;
    for (auto _ : state) {
        host::disk::DiskApplication app(web, warnings);
        host::TreeModel tree(window::imageKeyList());
        webtree::Fill(app, tree);
        const auto links = terminal::LinkWarnings::build(tree, app);
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
    const auto links = terminal::LinkWarnings::build(tree, app);
    for (auto _ : state)
        benchmark::DoNotOptimize(links.warnings(tree).size());
}
BENCHMARK(BM_LinkWarningsAfterAChoice)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
