// How long reading the links of one page takes when it is 1 MB of elements nested a level per tag: the
// page a browser stops nesting long before, which the parser alone takes quadratic time and memory for.
#include "links/LinkScanner.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <string>

namespace {

std::string nestedPage(const std::string& level) {
    std::string html;
    const std::size_t levels = 1'000'000 / level.size();
    for (std::size_t i = 0; i < levels; ++i) {
        html += level;
        if (i == levels / 2)
            html += "<a href=\"deep.htm\">deep</a>";
    }
    return html + "<a href=\"end.htm\">end</a>";
}

void scan(benchmark::State& state, const std::string& level) {
    const std::string html = nestedPage(level);
    for (auto _ : state) {
        const links::PageReferences refs = links::scanHtml(html);
        benchmark::DoNotOptimize(refs.urls.data());
        state.counters["links"] = static_cast<double>(refs.urls.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * html.size()));
}

void BM_LinksOfNestedDivs(benchmark::State& state) {
    scan(state, "<div>");
}
BENCHMARK(BM_LinksOfNestedDivs)->Unit(benchmark::kMillisecond);

void BM_LinksOfNestedFormatting(benchmark::State& state) {
    scan(state, "<b><i><u><s>");
}
BENCHMARK(BM_LinksOfNestedFormatting)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
