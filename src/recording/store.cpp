#include "recording/store.h"

#include <new>
#include <type_traits>

namespace tesmora {

static_assert(std::is_trivially_copyable_v<SampleRecord>);
static_assert(std::is_trivially_default_constructible_v<SampleRecord>);

static SampleRecord* AllocateSamples() {
    void* p = std::calloc(SAMPLE_CAPACITY, sizeof(SampleRecord));
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<SampleRecord*>(p);
}

RecordingStore::RecordingStore() : SampleBuff(AllocateSamples()) {}

} // namespace tesmora
