#pragma once
// Numbers as the converter writes them: the shortest text that reads back to the same value.

#include "recording/byte_sink.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace tesmora {

/// Shortest round-trip text of a float or double, or "null" when it is not finite.
template <typename T>
void PutJsonNumber(ByteSink& out, T value) {
    if (!std::isfinite(value)) {
        out.Write("null");
        return;
    }
    char* p = out.Reserve(32);
    const auto r = std::to_chars(p, p + 32, value);
    out.Advance(static_cast<std::size_t>(r.ptr - p));
}

} // namespace tesmora
