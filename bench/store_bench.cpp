// Microbenchmarks of the document store: the path grammar's condition
// splitter, and the set engine on a document of 1,000,000 nodes (setting an
// existing value, creating a 10-level path, creating by condition, setting
// an attribute, removing surplus items and deleting nodes).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <treeval/xmlloader.h>
#include <treeval/xstring.h>

#include "xmlloaderimpl.h"

namespace {

void splitCondition(benchmark::State& state, const char* text) {
    const XString path(text);
    for (auto _ : state) {
        XString name, key, value;
        benchmark::DoNotOptimize(XMLLoaderImpl::splitCondition(path, name, key, value));
    }
}
BENCHMARK_CAPTURE(splitCondition, plain, "/config/section/item/name");
BENCHMARK_CAPTURE(splitCondition, attribute, "/config/item[@id=\"4711\"]");
BENCHMARK_CAPTURE(splitCondition, blanksAndQuotes, "/config/item[ name =  \" x y \" ]");
BENCHMARK_CAPTURE(splitCondition, positional, "/config/item[2]");

// 125,000 items of eight nodes each (the element, its attribute with the
// attribute's text, two child elements with their texts, an empty element).
const int ITEMS = 125000;
const int MIDDLE = ITEMS / 2;

std::string items() {
    std::string xml;
    for (int i = 1; i <= ITEMS; ++i) {
        const std::string id = std::to_string(i);
        xml += "<item id=\"" + id + "\"><name>item-" + id + "</name><value>" + id +
               "</value><note/></item>";
    }
    return xml;
}

XMLLoader* parsed(const std::string& xml) {
    auto* store = new XMLLoader();
    store->loadArray(xml.data(), static_cast<unsigned int>(xml.size()));
    return store;
}

// Stores shared by the engine benchmarks: parsing the document for each of
// them would cost more than what they measure. In the first the items sit
// directly under the root element, so every path through the root reads
// them all; in the second they sit one level lower, beside the group that
// the removal benchmarks fill, whose path therefore costs next to nothing
// to evaluate and leaves the removal itself to be measured.
XMLLoader& store() {
    static XMLLoader* wide = parsed("<config>" + items() + "</config>");
    return *wide;
}

XMLLoader& groupStore() {
    static XMLLoader* grouped = parsed("<config><group/><items>" + items() + "</items></config>");
    return *grouped;
}

bool set(XMLLoader& target, const std::string& path, const std::vector<XString>& values) {
    return target.setOrCreateVectorImpl(XString(path), values,
                                        std::vector<bool>(values.size(), true));
}

bool set(const std::string& path, const std::vector<XString>& values) {
    return set(store(), path, values);
}

std::string middleItem() {
    return "/config/item[@id=\"" + std::to_string(MIDDLE) + "\"]";
}

void setExistingValue(benchmark::State& state) {
    const std::string path = middleItem() + "/name";
    const std::vector<XString> value{XString("changed")};
    for (auto _ : state)
        if (!set(path, value)) state.SkipWithError("set failed");
}
BENCHMARK(setExistingValue)->Unit(benchmark::kMillisecond);

// Each round creates a new ten-level path under the root element.
void createTenLevelPath(benchmark::State& state) {
    const std::vector<XString> value{XString("v")};
    int round = 0;
    for (auto _ : state) {
        std::string path = "/config/new" + std::to_string(++round);
        for (int level = 2; level <= 10; ++level)
            path += "/l" + std::to_string(level);
        if (!set(path, value)) state.SkipWithError("create failed");
    }
}
BENCHMARK(createTenLevelPath)->Unit(benchmark::kMillisecond);

// Each round adds an item by its id and gives it a name.
void createByCondition(benchmark::State& state) {
    const std::vector<XString> value{XString("v")};
    int round = 0;
    for (auto _ : state) {
        const std::string path =
            "/config/item[@id=\"" + std::to_string(ITEMS + ++round) + "\"]/name";
        if (!set(path, value)) state.SkipWithError("create failed");
    }
}
BENCHMARK(createByCondition)->Unit(benchmark::kMillisecond);

void setAttribute(benchmark::State& state) {
    const std::string path = middleItem() + "/@flag";
    const std::vector<XString> value{XString("on")};
    for (auto _ : state)
        if (!set(path, value)) state.SkipWithError("set failed");
}
BENCHMARK(setAttribute)->Unit(benchmark::kMillisecond);

const char* const GROUP = "/config/group/entry";

// Brings the group to exactly count entries, untimed.
void fillGroup(benchmark::State& state, int count) {
    state.PauseTiming();
    if (!set(groupStore(), GROUP, std::vector<XString>(count, XString("e"))))
        state.SkipWithError("filling the group failed");
    state.ResumeTiming();
}

// One value at a path that selects range(0) + 1 entries: the surplus goes.
void removeSurplusItems(benchmark::State& state) {
    const int surplus = static_cast<int>(state.range(0));
    const std::vector<XString> one{XString("kept")};
    for (auto _ : state) {
        fillGroup(state, surplus + 1);
        if (!set(groupStore(), GROUP, one)) state.SkipWithError("remove failed");
    }
}
// The run without surplus is the fixed cost.
BENCHMARK(removeSurplusItems)->Arg(0)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void deleteNodes(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        fillGroup(state, count);
        benchmark::DoNotOptimize(groupStore().deletePath(GROUP));
    }
}
BENCHMARK(deleteNodes)->Arg(0)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
