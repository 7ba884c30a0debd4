// Reading and writing recordings.

#include "bench_inputs.h"
#include "csv/csv_writer.h"
#include "direct_source.h"
#include "loading/load.h"
#include "recording/byte_sink.h"
#include "recording/byte_source.h"
#include "recording/lqd_reader.h"

#include <benchmark/benchmark.h>

namespace {

using namespace tesmora;
using namespace tesmora::bench;

RecordingStore& Scratch() {
    static RecordingStore store;
    return store;
}

void load_lqd_full(benchmark::State& state) {
    for (auto _ : state) {
        LoadRecording(Scratch(), FullLqd());
        if (Scratch().DataCount != SAMPLE_CAPACITY) state.SkipWithError("not the full recording");
    }
}
BENCHMARK(load_lqd_full)->Unit(benchmark::kMillisecond);

// The same reader with one system read call per read request.
void load_lqd_full_reference(benchmark::State& state) {
    for (auto _ : state) {
        InputFile file(FullLqd());
        DirectSource src(file.Descriptor());
        Scratch().DataType = 0;
        Scratch().DataCount = 0;
        if (ReadLQDfile(src, Scratch()) != ReadResult::Success) state.SkipWithError("read failed");
    }
}
BENCHMARK(load_lqd_full_reference)->Unit(benchmark::kMillisecond);

void load_csv_full(benchmark::State& state) {
    for (auto _ : state) {
        const LoadOutcome o = LoadRecording(Scratch(), FullCsv());
        if (Scratch().DataCount != SAMPLE_CAPACITY - 1 && Scratch().DataCount != SAMPLE_CAPACITY)
            state.SkipWithError("not the full recording");
        benchmark::DoNotOptimize(o);
    }
}
BENCHMARK(load_csv_full)->Unit(benchmark::kMillisecond);

void save_csv_full(benchmark::State& state) {
    const RecordingStore& store = FullStore();
    const std::string target = InputDir() + "/saved.csv";
    for (auto _ : state) {
        OutputFile out(target, true);
        ByteSink sink(out.Descriptor());
        if (!WriteCsvRecording(store, sink) || !sink.Flush() || !out.Commit())
            state.SkipWithError("write failed");
    }
}
BENCHMARK(save_csv_full)->Unit(benchmark::kMillisecond);

} // namespace
