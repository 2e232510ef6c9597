// How long the window takes to build the tree of a large web, over the in-memory host, against the floor
// of walking the same web through the same ports. Read the per-node time as 1 / items_per_second.
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

// A web of about `state.range(0)` nodes (45 per top folder).
void build(host::memory::MemoryWeb& web, const benchmark::State& state) {
    buildWeb(web, static_cast<int>(state.range(0)) / 45, 4, 10);
    web.setRecording(false);
}

std::int64_t nodesOf(host::memory::MemoryItem& item) {
    std::int64_t n = 1 + static_cast<std::int64_t>(item.files.size());
    for (auto& folder : item.folders)
        n += nodesOf(*folder);
    return n;
}

// What filling reads of each file of a folder (URL, extension, relative URL, mark, whether it is the
// home page), without a tree.
void readFiles(host::Application& app, host::Web& web, host::Folder& folder, std::size_t& sink) {
    for (auto& file : folder.files()) {
        const std::string url = file->url();
        sink += url.size() + file->extension().size() + app.relativeUrl(folder, url).size();
        sink += file->properties()->item("vti_donotpublish").textEquals("True") ? 1 : 0;
        sink += web.homePageUrl() == url ? 1 : 0;
    }
}

// The floor: the same reads depth first, each folder's files, then its sub-folders.
void walk(host::Application& app, host::Web& web, host::Folder& folder, std::size_t& sink) {
    readFiles(app, web, folder, sink);
    for (auto& sub : folder.folders()) {
        sink += app.relativeUrl(folder, sub->url()).size();
        walk(app, web, *sub, sink);
    }
}

// The other floor: the same reads in the order filling has to make them, each folder's sub-folders with
// their files first, then each sub-folder's own sub-folders (the root's files last).
void walkInFillOrder(host::Application& app, host::Web& web, host::Folder& folder, std::size_t& sink) {
    auto subs = folder.folders();
    for (auto& sub : subs) {
        sink += app.relativeUrl(folder, sub->url()).size();
        readFiles(app, web, *sub, sink);
    }
    for (auto& sub : subs)
        walkInFillOrder(app, web, *sub, sink);
}

// Times `run` over a web of the benchmark's size, per node.
template <typename Run> void timeOverWeb(benchmark::State& state, Run run) {
    host::memory::MemoryWeb web("http://server/site");
    build(web, state);
    host::memory::MemoryApplication app(&web);
    for (auto _ : state)
        run(app);
    state.SetItemsProcessed(state.iterations() * nodesOf(web.root()));
}

void BM_Walk(benchmark::State& state) {
    timeOverWeb(state, [](host::Application& app) {
        std::size_t sink = 0;
        auto w = app.activeWeb();
        walk(app, *w, *w->rootFolder(), sink);
        benchmark::DoNotOptimize(sink);
    });
}

void BM_WalkInFillOrder(benchmark::State& state) {
    timeOverWeb(state, [](host::Application& app) {
        std::size_t sink = 0;
        auto w = app.activeWeb();
        auto root = w->rootFolder();
        walkInFillOrder(app, *w, *root, sink);
        readFiles(app, *w, *root, sink);
        benchmark::DoNotOptimize(sink);
    });
}

void BM_Fill(benchmark::State& state) {
    timeOverWeb(state, [](host::Application& app) {
        host::TreeModel tree(window::imageKeyList());
        webtree::Fill(app, tree);
        benchmark::DoNotOptimize(tree.count());
    });
}
// The tree alone: the same nodes added in the same order as filling adds them, with no web to read.
void BM_TreeOnly(benchmark::State& state) {
    host::memory::MemoryWeb web("http://server/site");
    build(web, state);
    host::memory::MemoryApplication app(&web);
    host::TreeModel filled(window::imageKeyList());
    webtree::Fill(app, filled);
    struct Add {
        std::string parent, key, text, image;
    };
    std::vector<Add> adds;
    for (std::size_t i = 2; i <= filled.count(); ++i) {
        const host::Node& n = filled.nodeByIndex(i);
        adds.push_back(
            {std::string(n.parent()->key()), std::string(n.key()), std::string(n.text()), n.image()});
    }
    for (auto _ : state) {
        host::TreeModel tree(window::imageKeyList());
        tree.add(std::nullopt, "ROOT", "http://server/site", "web", "web");
        for (const Add& a : adds)
            tree.add(a.parent, a.key, a.text, a.image, a.image);
        benchmark::DoNotOptimize(tree.count());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(adds.size() + 1));
}
BENCHMARK(BM_TreeOnly)->Arg(450)->Arg(4500)->Arg(45000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// Nodes per run; `--benchmark_filter=/450$` runs the smallest alone (CI).
BENCHMARK(BM_Walk)->Arg(450)->Arg(4500)->Arg(45000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WalkInFillOrder)->Arg(450)->Arg(4500)->Arg(45000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Fill)->Arg(450)->Arg(4500)->Arg(45000)->Arg(100000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
