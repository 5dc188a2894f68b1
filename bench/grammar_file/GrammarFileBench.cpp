// The grammar file is read whole when the setup window loads, before it shows:
// its load time is part of the program's start-up.
#include "speech_platform/SrgsGrammar.h"

#include <benchmark/benchmark.h>

using namespace kestrel;

namespace {

// `rules` rules, each naming the one before it, as a generated grammar would.
QByteArray grammarOf(int rules)
{
    QByteArray xml = R"(<grammar xmlns="http://www.w3.org/2001/06/grammar" version="1.0" root="r0">)"
                     "<rule id=\"r0\" scope=\"public\"><item>zero</item></rule>";
    for (int i = 1; i < rules; ++i)
        xml += QByteArray("<rule id=\"r") + QByteArray::number(i) + "\"><item>word" + QByteArray::number(i) +
               "</item><ruleref uri=\"#r" + QByteArray::number(i - 1) + "\"/></rule>";
    return xml + "</grammar>";
}

void loadGrammar(benchmark::State &state)
{
    const QByteArray xml = grammarOf(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(SrgsGrammar::parse(xml));
    state.counters["KiB"] = static_cast<double>(xml.size()) / 1024.0;
}
BENCHMARK(loadGrammar)->Arg(100)->Arg(1000)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
