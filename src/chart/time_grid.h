#pragma once

#include <cstdint>

namespace tesmora {

/// The time grid spacing in ms: the smallest of 1 s, 5 s, 10 s, 20 s, 30 s, 1 min, 5 min, 10 min,
/// 20 min, 30 min, 1 h, 2 h, 3 h, 4 h, 6 h, 12 h, 24 h that is not below the time 100 pixel
/// columns cover, Rate * TimeScale * 100 (24 h when that is longer still).
std::int32_t CalcTimeGrid(std::int32_t Rate, std::int32_t TimeScale);

} // namespace tesmora
