// How long the window takes to build the tree of a large web, over the in-memory host.
#include "host/memory/MemoryWeb.h"
#include "webtree/Fill.h"
#include "window/ImageKeys.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

// A web of `folders` folders, each `depth` levels deep, each level holding `filesPerFolder` files; every
// third file is marked.
void buildWeb(host::memory::MemoryWeb& web, int folders, int depth, int filesPerFolder) {
    int n = 0;
    for (int f = 0; f < folders; ++f) {
        std::string path = "folder" + std::to_string(f);
        web.addFolder(path);
        for (int d = 0; d < depth; ++d) {
            for (int i = 0; i < filesPerFolder; ++i) {
                const std::string file = path + "/page" + std::to_string(i) + ".htm";
                if (++n % 3 == 0)
                    web.addMarkedFile(file);
                else
                    web.addFile(file);
            }
            path += "/level" + std::to_string(d);
            web.addFolder(path);
        }
    }
}

void BM_Fill(benchmark::State& state) {
    host::memory::MemoryWeb web("http://server/site");
    buildWeb(web, static_cast<int>(state.range(0)), 4, 10);
    host::memory::MemoryApplication app(&web);
    for (auto _ : state) {
        host::TreeModel tree(window::imageKeyList());
        webtree::Fill(app, tree);
        benchmark::DoNotOptimize(tree.count());
        web.clearCalls();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(state.range(0)) * 45);
}
BENCHMARK(BM_Fill)->Arg(10)->Arg(100)->Arg(1000);

} // namespace

BENCHMARK_MAIN();
