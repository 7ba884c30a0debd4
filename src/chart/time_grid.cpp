#include "chart/time_grid.h"

namespace tesmora {
namespace {
constexpr std::int32_t GridSteps[5] = {1, 5, 10, 20, 30}; // seconds, then minutes
constexpr std::int32_t GridHours[7] = {1, 2, 3, 4, 6, 12, 24};
} // namespace

std::int32_t CalcTimeGrid(std::int32_t Rate, std::int32_t TimeScale) {
    // The span of 100 pixel columns in ms, in 32 unsigned bits that wrap: past 2^32 ms (a panel
    // a few pixels wide, zoomed far out) the span starts again from 0 and the grid follows it.
    const std::uint32_t span =
        static_cast<std::uint32_t>(Rate) * static_cast<std::uint32_t>(TimeScale) * 100u;
    const auto tier = [span](const std::int32_t* steps, int count, std::uint32_t unit) {
        for (int i = 0; i < count; ++i)
            if (static_cast<std::uint32_t>(steps[i]) * unit >= span)
                return static_cast<std::int32_t>(static_cast<std::uint32_t>(steps[i]) * unit);
        return std::int32_t{0};
    };
    if (span <= static_cast<std::uint32_t>(GridSteps[4]) * 1000u) return tier(GridSteps, 5, 1000u);
    if (span <= static_cast<std::uint32_t>(GridSteps[4]) * 60000u)
        return tier(GridSteps, 5, 60000u);
    if (span <= static_cast<std::uint32_t>(GridHours[6]) * 3600000u)
        return tier(GridHours, 7, 3600000u);
    return GridHours[6] * 3600000;
}

} // namespace tesmora
