// Any bytes as a text recording.

#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tesmora::fuzz::LoadAndCheck(data, size, false);
    return 0;
}
