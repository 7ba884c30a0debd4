// tesmora-bench --inputs DIR [benchmark options]

#include "bench_inputs.h"
#include "loading/load.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>

namespace tesmora::bench {
namespace {
std::string g_inputs = ".";
}

const std::string& InputDir() {
    return g_inputs;
}
std::string FullLqd() {
    return g_inputs + "/full_pc56.lqd";
}
std::string FullCsv() {
    return g_inputs + "/full_pc56.csv";
}

RecordingStore& FullStore() {
    static RecordingStore store;
    static const bool loaded = [] {
        LoadRecording(store, FullLqd());
        if (store.DataCount != SAMPLE_CAPACITY)
            std::fprintf(stderr, "bench: %s is not the full recording\n", FullLqd().c_str());
        return true;
    }();
    (void)loaded;
    return store;
}

} // namespace tesmora::bench

int main(int argc, char** argv) {
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--inputs") == 0 && i + 1 < argc) {
            tesmora::bench::g_inputs = argv[++i];
            continue;
        }
        args.push_back(argv[i]);
    }
    int n = static_cast<int>(args.size());
    QApplication app(n, args.data());
    benchmark::Initialize(&n, args.data());
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
