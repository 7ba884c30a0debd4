// Any bytes as a binary recording.

#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tesmora::fuzz::LoadAndCheck(data, size, true);
    return 0;
}
