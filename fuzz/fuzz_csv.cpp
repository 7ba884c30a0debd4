// Any bytes as a text recording.

#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tesmora;
    RecordingStore& store = fuzz::Store();
    const LoadOutcome outcome = fuzz::LoadBytes(store, data, size, false);
    fuzz::CheckLoad(store, outcome, false);
    return 0;
}
