#include "recording/store.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <sys/mman.h>
#include <type_traits>

namespace tesmora {

static_assert(std::is_trivially_copyable_v<SampleRecord>);
static_assert(std::is_trivially_default_constructible_v<SampleRecord>);

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t BytesFor(std::int32_t capacity) {
    return static_cast<std::size_t>(std::max(capacity, 1)) * sizeof(SampleRecord);
}

// Anonymous pages: zero, and not touched (not resident) until a record is written there. On a
// 2 MB boundary and marked for huge pages where the kernel offers them, so that filling a
// 48-hour store takes about 35 page faults instead of 17,000 (most of a whole conversion's
// time otherwise).
SampleRecord* AllocateSamples(std::int32_t capacity) {
    const std::size_t bytes = BytesFor(capacity);
    void* p = ::mmap(nullptr, bytes + kHugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > start) ::munmap(p, aligned - start);
    const std::size_t tail = start + bytes + kHugePage - (aligned + bytes);
    if (tail > 0) ::munmap(reinterpret_cast<void*>(aligned + bytes), tail);
#ifdef MADV_HUGEPAGE
    ::madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE); // a hint only
#endif
    return reinterpret_cast<SampleRecord*>(aligned);
}

} // namespace

void RecordingStore::PagesDeleter::operator()(SampleRecord* p) const noexcept {
    ::munmap(p, bytes);
}

RecordingStore::RecordingStore(std::int32_t capacity)
    : SampleBuff(AllocateSamples(capacity), PagesDeleter{BytesFor(capacity)}),
      capacity_(std::max(capacity, 0)) {}

} // namespace tesmora
