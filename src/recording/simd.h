#pragma once
// The vector paths: SSE2 where the compiler offers it, unless the build leaves them out
// (TESMORA_NO_SIMD) so that the scalar paths, which give the same results, are tested too.

#if defined(__SSE2__) && !defined(TESMORA_NO_SIMD)
#define TESMORA_SSE2 1
#include <emmintrin.h>
#else
#define TESMORA_SSE2 0
#endif

namespace tesmora {

/// Asks for the cache line of p ahead of its use, to be read or to be written. A hint only:
/// it never faults, whatever p is.
inline void PrefetchForRead(const void* p) {
    __builtin_prefetch(p, 0);
}
inline void PrefetchForWrite(const void* p) {
    __builtin_prefetch(p, 1);
}

} // namespace tesmora
