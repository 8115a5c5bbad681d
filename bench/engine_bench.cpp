// The set engine removing surplus nodes: one value stored at a path that
// selects n items keeps the first and removes the other n - 1. The time
// grows linearly with n; compare 10,000 with 100,000 items.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include <treeval/xmlloader.h>
#include <treeval/xstring.h>

namespace {

std::string itemsDocument(int items) {
    std::string xml = "<config>";
    for (int i = 1; i <= items; ++i) {
        const std::string id = std::to_string(i);
        xml += "<item id=\"" + id + "\"><name>item-" + id + "</name></item>";
    }
    return xml + "</config>";
}

// Parsing and freeing the document are left out of the time.
void removeSurplusItems(benchmark::State& state) {
    const int items = static_cast<int>(state.range(0));
    const std::string xml = itemsDocument(items);
    const XString path("/config/item");
    const std::vector<XString> values{XString("kept")};
    const std::vector<bool> flags{true};
    for (auto _ : state) {
        state.PauseTiming();
        auto store = std::make_unique<XMLLoader>();
        store->loadArray(xml.data(), static_cast<unsigned int>(xml.size()));
        state.ResumeTiming();
        const bool stored = store->setOrCreateVectorImpl(path, values, flags);
        state.PauseTiming();
        std::vector<std::string> left;
        store->getVector("/config/item", left, 0);
        if (!stored || left.size() != 1) state.SkipWithError("the surplus items were not removed");
        store.reset();
        state.ResumeTiming();
    }
    state.SetComplexityN(items);
}
BENCHMARK(removeSurplusItems)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
