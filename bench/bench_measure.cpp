// Statistics between markers over the full recording.

#include "analysis/interval_stats.h"
#include "bench_inputs.h"

#include <benchmark/benchmark.h>

namespace {

using namespace tesmora;

// Every statistic of every channel and quantity over all 345,600 samples.
void measure_full_interval(benchmark::State& state) {
    const RecordingStore& store = bench::FullStore();
    for (auto _ : state) {
        const auto stats = IntervalStats(store, 0, store.DataCount - 1);
        benchmark::DoNotOptimize(stats);
    }
}
BENCHMARK(measure_full_interval)->Unit(benchmark::kMillisecond);

} // namespace
