#include "recording/store.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <sys/mman.h>
#include <type_traits>

namespace tesmora {

static_assert(std::is_trivially_copyable_v<SampleRecord>);
static_assert(std::is_trivially_default_constructible_v<SampleRecord>);

namespace {

// Under AddressSanitizer the samples come from the heap, where it sees a record written past
// the end; otherwise from pages of their own (AllocateSamples).
#if defined(__SANITIZE_ADDRESS__)
#define TESMORA_STORE_ON_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESMORA_STORE_ON_HEAP 1
#endif
#endif

std::size_t BytesFor(std::int32_t capacity) {
    return static_cast<std::size_t>(std::max(capacity, 1)) * sizeof(SampleRecord);
}

#ifdef TESMORA_STORE_ON_HEAP
SampleRecord* AllocateSamples(std::int32_t capacity) {
    void* p = std::calloc(BytesFor(capacity), 1);
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<SampleRecord*>(p);
}
#else
// Anonymous pages: zero, and not touched (not resident) until a record is written there. On a
// 2 MB boundary and marked for huge pages where the kernel offers them, so that filling a
// 48-hour store takes about 35 page faults instead of 17,000 (most of a whole conversion's
// time otherwise).
constexpr std::size_t kHugePage = std::size_t{2} << 20;

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
#endif

} // namespace

void RecordingStore::PagesDeleter::operator()(SampleRecord* p) const noexcept {
#ifdef TESMORA_STORE_ON_HEAP
    std::free(p);
#else
    ::munmap(p, bytes);
#endif
}

RecordingStore::RecordingStore(std::int32_t capacity)
    : SampleBuff(AllocateSamples(capacity), PagesDeleter{BytesFor(capacity)}),
      capacity_(std::max(capacity, 0)) {}

} // namespace tesmora
