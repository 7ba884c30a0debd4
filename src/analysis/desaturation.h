#pragma once
// Desaturation analysis of the StO2 series: the baseline, the threshold, the episodes below
// it and the burden they make, per channel. The window's Oximetry panel and the converter's
// summary both take their numbers from here.
//
// The rules, so that anyone with the recording can reproduce the numbers:
// - v = 100 x the stored StO2, in double precision. A sample is valid when its Status is 0
//   and v is finite; every measure uses valid samples only.
// - A sample's time is its index x the sample interval, as everywhere in the viewer: the
//   stored Time is a running sum and gathers rounding (the 30th sample at 500 ms lies at
//   14999.999999999998 ms), which must not move a sample in or out of the baseline.
// - Baseline: the mean of the valid samples in the baseline interval: by default those whose
//   time lies in [0, baselineMinutes), or the samples of a chosen interval (the markers).
// - Threshold T: absolute, or relative: baseline x (1 - drop / 100); undefined without a
//   baseline.
// - A sample is below when it is valid and v < T. Maximal runs of consecutive below samples
//   are joined when the samples between them (valid or not) number fewer than mergeGap
//   seconds' worth (count x interval < mergeGap); a joined run whose span, from its first
//   to its last below sample inclusive (count x interval), is shorter than minEpisode seconds
//   is dropped. What stays are the episodes.
// - Per episode: its start, its duration (the span), its nadir (the lowest below value, the
//   first sample when several are equal) and its area: the sum over its below samples of
//   (T - v) x interval in minutes (%.min).
// - Per channel: valid minutes (valid samples x interval), baseline, threshold, the number of
//   episodes, the minutes below (the sum of the durations), the percent of valid time below,
//   the total area, the deepest nadir (the first when equal), and the mean, minimum and
//   maximum of the valid samples. Sums run in double precision, in sample order.
// - Undefined stays undefined, never 0: the baseline without a valid sample in its interval;
//   every episode measure without a threshold; the nadir without an episode; the percent,
//   mean, minimum and maximum without a valid sample.

#include "recording/store.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tesmora {

struct DesaturationSettings {
    enum class Mode { Absolute, Relative };
    Mode mode = Mode::Absolute;
    double threshold = 50;      // percent, for Absolute
    double drop = 20;           // percent below the baseline, for Relative
    double baselineMinutes = 5; // the baseline interval from the start, minutes
    /// The baseline from these samples (both included, in either order) instead.
    std::optional<std::pair<std::int32_t, std::int32_t>> baselineSamples;
    double minEpisode = 15; // seconds
    double mergeGap = 10;   // seconds
    bool operator==(const DesaturationSettings&) const = default;
};

/// Why settings cannot be used, or nothing: a value that is not a number, or out of its
/// range (threshold and drop 0..100, the others not negative).
std::optional<std::string> SettingsProblem(const DesaturationSettings& s);

struct Episode {
    std::int32_t first = 0, last = 0; // the first and last below sample
    double durationSeconds = 0;
    std::int32_t nadirIndex = 0;
    double nadir = 0;
    double area = 0; // %.min
};

struct DesaturationResult {
    double validMinutes = 0;
    std::int32_t validSamples = 0;
    std::optional<double> baseline, threshold;
    std::optional<std::int32_t> episodeCount;
    std::optional<double> minutesBelow, percentBelow, area;
    std::optional<double> nadir;
    std::optional<std::int32_t> nadirIndex;
    std::optional<double> mean, min, max;
    std::vector<Episode> episodes;
};

/// The analysis of channels 0..ChCount-1 of the recording.
std::array<DesaturationResult, 4> AnalyseDesaturation(const RecordingStore& store,
                                                      const DesaturationSettings& settings);

} // namespace tesmora
