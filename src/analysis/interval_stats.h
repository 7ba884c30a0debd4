#pragma once
// Statistics of the stored samples between two markers: per channel and quantity the values
// at both ends and, over the closed interval, the extremes, the mean, the standard deviation,
// the least-squares slope and the count of valid samples.

#include "recording/store.h"

#include <array>
#include <cstdint>
#include <optional>

namespace tesmora {

/// The statistics of one series (one quantity of one channel) over [first, last].
struct SeriesStats {
    std::optional<double> atA, atB; // the values at the markers, when valid there
    std::int32_t valid = 0;         // samples with Status 0 and a finite value
    std::int32_t notFinite = 0;     // samples with Status 0 whose value is NaN or infinite
    // With at least two valid samples:
    std::optional<double> min, max, mean, sd, slopePerMinute;
    std::int32_t minIndex = -1, maxIndex = -1; // the first sample with the extreme
};

/// The samples of a channel over the interval that the statistics leave out, by kind.
struct ExcludedCounts {
    std::int32_t replaced = 0; // STS_FILLED: a row that did not parse, copied
    std::int32_t p = 0;        // STS_P
    std::int32_t e = 0;        // any other status: errors and device codes
};

/// Everything the Measurements panel shows for one channel.
struct ChannelStats {
    std::array<SeriesStats, 4> series; // OXHb, DXHb, TOHb, StO2 (StO2 in percent)
    ExcludedCounts excluded;
};

/// The interval [a, b] in order, clamped to the recording.
struct SampleInterval {
    std::int32_t first = 0, last = -1;
    bool Empty() const { return last < first; }
    std::int32_t Count() const { return Empty() ? 0 : last - first + 1; }
};
SampleInterval OrderedInterval(std::int32_t a, std::int32_t b, std::int32_t dataCount);

/// The statistics of channels 0..ChCount-1 over [a, b] (in either order), from the stored
/// values (not the moving average). A sample counts when its Status is 0 and its value is
/// finite; StO2 is taken in percent (100 x the stored fraction, exact in double precision).
/// The standard deviation is the sample one (n - 1); the slope is of the least-squares line
/// through (minutes since a, value).
///
/// How the numbers are made, so that anyone can reproduce them: the interval is cut into
/// blocks of 64 samples; within a block the sums of (value - the block's first valid value),
/// of its square, of the time since the block's start, of its square and of their product run
/// in double precision; the blocks are then combined one after another by the pairwise update
/// of means and second moments (Chan, Golub and LeVeque), the means taken less the series'
/// first valid value. So no sum adds more than 64 terms, and large offsets cancel before
/// anything is squared.
std::array<ChannelStats, 4> IntervalStats(const RecordingStore& store, std::int32_t a,
                                          std::int32_t b);

} // namespace tesmora
