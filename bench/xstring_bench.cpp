// Microbenchmarks of the store's string type: the operations the set engine
// and the path grammar repeat on every path (construction, copies, the
// cached length, searching, substrings, concatenation, conversion back).
#include <benchmark/benchmark.h>

#include <string>

#include <treeval/xstring.h>

namespace {

const std::string PATH = "/config/section/item[@id=\"4711\"]/name";

void constructFromStdString(benchmark::State& state) {
    for (auto _ : state) {
        XString s(PATH);
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(constructFromStdString);

void constructFromCString(benchmark::State& state) {
    for (auto _ : state) {
        XString s(PATH.c_str());
        benchmark::DoNotOptimize(s.length());
    }
}
BENCHMARK(constructFromCString);

void copy(benchmark::State& state) {
    const XString source(PATH);
    for (auto _ : state) {
        XString s(source);
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(copy);

void cachedLength(benchmark::State& state) {
    const XString s(PATH);
    for (auto _ : state)
        benchmark::DoNotOptimize(s.length());
}
BENCHMARK(cachedLength);

void equality(benchmark::State& state) {
    const XString a(PATH), b(PATH);
    for (auto _ : state)
        benchmark::DoNotOptimize(a == b);
}
BENCHMARK(equality);

void rfindSlash(benchmark::State& state) {
    const XString s(PATH);
    for (auto _ : state)
        benchmark::DoNotOptimize(s.rfind("/", XString::npos));
}
BENCHMARK(rfindSlash);

// The needle sits at the start: the whole string is scanned backwards.
void rfindFarNeedle(benchmark::State& state) {
    const XString s(std::string("#") + std::string(state.range(0), 'x'));
    const XString needle("#");
    for (auto _ : state)
        benchmark::DoNotOptimize(s.rfind(needle, XString::npos));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(rfindFarNeedle)->Arg(64)->Arg(4096)->Arg(1 << 20);

void substrToEnd(benchmark::State& state) {
    const XString s(PATH);
    for (auto _ : state) {
        XString part = s.substr(8, XString::npos);
        benchmark::DoNotOptimize(part);
    }
}
BENCHMARK(substrToEnd);

void concatenate(benchmark::State& state) {
    const XString left(PATH), right("/value");
    for (auto _ : state) {
        XString whole = left + right;
        benchmark::DoNotOptimize(whole);
    }
}
BENCHMARK(concatenate);

void concatenateCString(benchmark::State& state) {
    const XString left(PATH);
    for (auto _ : state) {
        XString whole = left + "/value";
        benchmark::DoNotOptimize(whole);
    }
}
BENCHMARK(concatenateCString);

// Appending in place; each append also returns a copy of the whole string.
void appendRepeatedly(benchmark::State& state) {
    const XString piece("abcdefgh");
    for (auto _ : state) {
        XString s;
        for (int i = 0; i < state.range(0); ++i)
            s += piece;
        benchmark::DoNotOptimize(s);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(appendRepeatedly)->RangeMultiplier(4)->Range(16, 4096)->Complexity();

// The conversion every trace message and facade result goes through.
void stringValue(benchmark::State& state) {
    const XString s(PATH);
    for (auto _ : state)
        benchmark::DoNotOptimize(s.stringValue(""));
}
BENCHMARK(stringValue);

}  // namespace

BENCHMARK_MAIN();
