// What tracing costs a store operation while it is switched off: opening and
// closing a trace functor, and a silent message with its text prebuilt or
// built the way the store builds it, beside the cheapest store operations.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <libxml/parser.h>

#include <treeval/trace.h>
#include <treeval/xmlloader.h>
#include <treeval/xstring.h>

#include "xmlloaderimpl.h"

namespace {

const std::string TINY = "<config><item id=\"1\"><name>a</name></item></config>";

Logger& benchLogger() {
    static Logger logger("TraceBench", nullptr);
    return logger;
}

// Short function names fit the standard string's inline buffer.
void functorShortName(benchmark::State& state) {
    Logger& logger = benchLogger();
    for (auto _ : state) {
        auto trace = logger.getFunctor<Logger::Id>("countNodes");
        benchmark::DoNotOptimize(&trace);
    }
}
BENCHMARK(functorShortName);

void functorLongName(benchmark::State& state) {
    Logger& logger = benchLogger();
    for (auto _ : state) {
        auto trace = logger.getFunctor<Logger::Id>("evalToContextAndObj");
        benchmark::DoNotOptimize(&trace);
    }
}
BENCHMARK(functorLongName);

void silentMessagePrebuilt(benchmark::State& state) {
    auto trace = benchLogger().getFunctor<Logger::Id>("countNodes");
    const std::string text = "Counting: /config/item[@id=\"7\"]/name";
    for (auto _ : state)
        trace(LOG_T, text);
}
BENCHMARK(silentMessagePrebuilt);

// The store writes "Counting: " followed by the expression: the text is
// built before the functor can see that nobody listens.
void silentMessageBuilt(benchmark::State& state) {
    auto trace = benchLogger().getFunctor<Logger::Id>("countNodes");
    const XString expression("/config/item[@id=\"7\"]/name");
    for (auto _ : state)
        trace(LOG_T, "Counting: " + expression.stringValue(""));
}
BENCHMARK(silentMessageBuilt);

void singleTrace(benchmark::State& state) {
    Logger& logger = benchLogger();
    for (auto _ : state)
        logger.trace("start", LOG_T, "First instance, initialising parser");
}
BENCHMARK(singleTrace);

// The cheapest operations of the store, each opening at least one functor.
void storeGetVectorTiny(benchmark::State& state) {
    XMLLoader store;
    store.loadArray(TINY.data(), static_cast<unsigned int>(TINY.size()));
    std::vector<std::string> values;
    for (auto _ : state) {
        store.getVector("/config/item/name", values, 0);
        benchmark::DoNotOptimize(values.data());
    }
}
BENCHMARK(storeGetVectorTiny);

void storeCountNodesTiny(benchmark::State& state) {
    XMLLoaderImpl store;
    store.doc = xmlParseMemory(TINY.data(), static_cast<int>(TINY.size()));
    const XString expression("/config/item/name");
    for (auto _ : state)
        benchmark::DoNotOptimize(store.countNodes(expression));
}
BENCHMARK(storeCountNodesTiny);

void storeSplitCondition(benchmark::State& state) {
    const XString path("/config/item[@id=\"7\"]");
    for (auto _ : state) {
        XString name, key, value;
        benchmark::DoNotOptimize(XMLLoaderImpl::splitCondition(path, name, key, value));
    }
}
BENCHMARK(storeSplitCondition);

}  // namespace

BENCHMARK_MAIN();
