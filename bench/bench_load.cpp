// Loading a full 48-hour three-channel recording, buffered and with one system read per request.

#include "demo_recordings.h"
#include "lqd_encoder.h"
#include "recording/byte_source.h"
#include "recording/load.h"
#include "recording/lqd_reader.h"

#include <benchmark/benchmark.h>
#include <filesystem>

namespace {

using namespace tesmora;

// 345,600 records cycled from the two-hour demo, written once per run.
const std::string& FullRecording() {
    static const std::string path = [] {
        std::filesystem::create_directories(TESMORA_BENCH_DIR);
        const std::string p = std::string(TESMORA_BENCH_DIR) + "/full_pc56.lqd";
        demo::ThreeChannelDemo d = demo::MakeThreeChannelDemo();
        std::vector<lqd::Ws56Record> records;
        records.reserve(SAMPLE_CAPACITY);
        for (std::uint32_t k = 0; k < static_cast<std::uint32_t>(SAMPLE_CAPACITY); ++k) {
            lqd::Ws56Record r = d.records[k % d.records.size()];
            r.counter = k & 0xFFFF;
            records.push_back(r);
        }
        lqd::WriteFile(p, lqd::EncodeWs56(d.header, records));
        return p;
    }();
    return path;
}

RecordingStore& Store() {
    static RecordingStore store;
    return store;
}

void load_lqd_full(benchmark::State& state) {
    for (auto _ : state) {
        const LoadOutcome o = LoadRecording(Store(), FullRecording());
        if (Store().DataCount != SAMPLE_CAPACITY || !o.messages.empty())
            state.SkipWithError("bad load");
    }
}
BENCHMARK(load_lqd_full)->Unit(benchmark::kMillisecond);

// The reference: the same reader with one system read call per read request.
void load_lqd_full_unbuffered(benchmark::State& state) {
    for (auto _ : state) {
        InputFile file(FullRecording());
        ByteSource src(file.Descriptor(), 0);
        Store().DataCount = 0;
        if (ReadLQDfile(src, Store()) != ReadResult::Success) state.SkipWithError("bad load");
    }
}
BENCHMARK(load_lqd_full_unbuffered)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
