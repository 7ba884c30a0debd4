// The desaturation analysis of every channel of the 48-hour recording.

#include "analysis/desaturation.h"
#include "bench_inputs.h"

#include <benchmark/benchmark.h>

namespace {

using namespace tesmora;

void analysis_full(benchmark::State& state) {
    const RecordingStore& store = bench::FullStore();
    const DesaturationSettings settings;
    for (auto _ : state) {
        const auto results = AnalyseDesaturation(store, settings);
        benchmark::DoNotOptimize(results);
    }
}
BENCHMARK(analysis_full)->Unit(benchmark::kMillisecond);

} // namespace
