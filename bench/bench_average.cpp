// The moving average over the full recording.

#include "bench_inputs.h"
#include "processing/moving_average.h"

#include <algorithm>
#include <benchmark/benchmark.h>

namespace {

using namespace tesmora;

void average_11_full(benchmark::State& state) {
    RecordingStore& store = bench::FullStore();
    for (auto _ : state) CalcCompareData(store, 5);
}
BENCHMARK(average_11_full)->Unit(benchmark::kMillisecond);

// The reference: each window summed from scratch.
void average_11_full_reference(benchmark::State& state) {
    RecordingStore& store = bench::FullStore();
    const int k = 5, n = store.DataCount;
    SampleRecord* buf = store.SampleBuff.get();
    for (auto _ : state) {
        for (int c = 0; c < store.ChCount; ++c) {
            for (int j = 0; j < n; ++j) {
                const int lo = std::max(0, j - k), hi = std::min(n - 1, j + k);
                double s[4] = {0, 0, 0, 0};
                for (int i = lo; i <= hi; ++i) {
                    s[0] += buf[i].Ch[c].OXHb;
                    s[1] += buf[i].Ch[c].DXHb;
                    s[2] += buf[i].Ch[c].TOHb;
                    s[3] += buf[i].Ch[c].StO2;
                }
                const double count = hi - lo + 1;
                buf[j].Ave[c].OXHb = static_cast<float>(s[0] / count);
                buf[j].Ave[c].DXHb = static_cast<float>(s[1] / count);
                buf[j].Ave[c].TOHb = static_cast<float>(s[2] / count);
                buf[j].Ave[c].StO2 = static_cast<float>(s[3] / count);
            }
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(average_11_full_reference)->Unit(benchmark::kMillisecond);

} // namespace

namespace {
// The same traffic with no arithmetic: "none" copies Ch into Ave.
void average_none_full(benchmark::State& state) {
    tesmora::RecordingStore& store = tesmora::bench::FullStore();
    for (auto _ : state) tesmora::CalcCompareData(store, 0);
}
BENCHMARK(average_none_full)->Unit(benchmark::kMillisecond);
} // namespace
