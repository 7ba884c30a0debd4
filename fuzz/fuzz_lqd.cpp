// Any bytes as a binary recording.

#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tesmora;
    RecordingStore& store = fuzz::Store();
    const LoadOutcome outcome = fuzz::LoadBytes(store, data, size, true);
    fuzz::CheckLoad(store, outcome, true);
    return 0;
}
