#pragma once
// The benchmarks' inputs: the largest recording, binary and as text, made by the runner.

#include "recording/store.h"

#include <string>

namespace tesmora::bench {

/// The folder given with --inputs.
const std::string& InputDir();
std::string FullLqd(); // 345,600 samples, three channels
std::string FullCsv(); // the same as a text recording

/// A store holding the full binary recording, loaded once.
RecordingStore& FullStore();

} // namespace tesmora::bench
