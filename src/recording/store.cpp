#include "recording/store.h"

#include <algorithm>
#include <new>
#include <type_traits>

namespace tesmora {

static_assert(std::is_trivially_copyable_v<SampleRecord>);
static_assert(std::is_trivially_default_constructible_v<SampleRecord>);

static SampleRecord* AllocateSamples(std::int32_t capacity) {
    void* p = std::calloc(static_cast<std::size_t>(std::max(capacity, 1)), sizeof(SampleRecord));
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<SampleRecord*>(p);
}

RecordingStore::RecordingStore(std::int32_t capacity)
    : SampleBuff(AllocateSamples(capacity)), capacity_(std::max(capacity, 0)) {}

} // namespace tesmora
