#include "analysis/desaturation.h"

#include <algorithm>
#include <cmath>

namespace tesmora {
namespace {

// v of a sample, or nothing when the sample is not valid.
std::optional<double> Percent(const ChannelData& ch) {
    const double v = static_cast<double>(ch.StO2) * 100.0;
    if (ch.Status != 0 || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<double> Baseline(const RecordingStore& store, int c,
                               const DesaturationSettings& settings) {
    const SampleRecord* const buf = store.SampleBuff.get();
    double sum = 0;
    std::int32_t n = 0;
    auto take = [&](std::int32_t j) {
        if (const std::optional<double> v = Percent(buf[j].Ch[c])) {
            sum += *v;
            ++n;
        }
    };
    if (settings.baselineSamples) {
        const auto [a, b] = *settings.baselineSamples;
        const std::int32_t first = std::clamp(std::min(a, b), 0, store.DataCount - 1);
        const std::int32_t last = std::clamp(std::max(a, b), 0, store.DataCount - 1);
        for (std::int32_t j = first; j <= last; ++j) take(j);
    } else {
        const double limit = settings.baselineMinutes * 60000.0; // ms
        for (std::int32_t j = 0; j < store.DataCount && double(j) * store.Rate < limit; ++j)
            take(j);
    }
    if (n == 0) return std::nullopt;
    return sum / n;
}

} // namespace

std::optional<std::string> SettingsProblem(const DesaturationSettings& s) {
    auto inRange = [](double v, double lo, double hi) {
        return std::isfinite(v) && v >= lo && v <= hi;
    };
    if (!inRange(s.threshold, 0, 100)) return "the threshold must be a percentage from 0 to 100";
    if (!inRange(s.drop, 0, 100)) return "the drop must be a percentage from 0 to 100";
    if (!inRange(s.baselineMinutes, 0, 1e9)) return "the baseline minutes must not be negative";
    if (!inRange(s.minEpisode, 0, 1e9)) return "the shortest episode must not be negative";
    if (!inRange(s.mergeGap, 0, 1e9)) return "the merge gap must not be negative";
    return std::nullopt;
}

std::array<DesaturationResult, 4> AnalyseDesaturation(const RecordingStore& store,
                                                      const DesaturationSettings& settings) {
    std::array<DesaturationResult, 4> out{};
    if (store.DataCount <= 0 || store.Rate <= 0 || SettingsProblem(settings)) return out;
    const SampleRecord* const buf = store.SampleBuff.get();
    const double seconds = store.Rate / 1000.0, minutes = store.Rate / 60000.0;
    const int channels = std::clamp(store.ChCount, 0, 4);

    for (int c = 0; c < channels; ++c) {
        DesaturationResult& r = out[static_cast<std::size_t>(c)];
        r.baseline = Baseline(store, c, settings);
        if (settings.mode == DesaturationSettings::Mode::Absolute)
            r.threshold = settings.threshold;
        else if (r.baseline)
            r.threshold = *r.baseline * (1 - settings.drop / 100);
        const bool analysed = r.threshold.has_value();
        const double T = r.threshold.value_or(0);

        double sum = 0, lo = 0, hi = 0;
        std::optional<Episode> open; // the joined run being followed
        auto close = [&] {
            if (!open) return;
            open->durationSeconds = (open->last - open->first + 1) * seconds;
            if (open->durationSeconds >= settings.minEpisode) r.episodes.push_back(*open);
            open.reset();
        };
        for (std::int32_t j = 0; j < store.DataCount; ++j) {
            const std::optional<double> v = Percent(buf[j].Ch[c]);
            if (!v) continue;
            if (r.validSamples == 0) lo = hi = *v;
            ++r.validSamples;
            sum += *v;
            lo = std::min(lo, *v);
            hi = std::max(hi, *v);
            if (!analysed || !(*v < T)) continue;
            // A below sample: it goes on the run being followed when nothing or fewer than
            // mergeGap seconds' worth of samples lie between them.
            if (open) {
                const std::int32_t between = j - open->last - 1;
                if (between > 0 && !(between * seconds < settings.mergeGap)) close();
            }
            if (!open) open = Episode{j, j, 0, j, *v, 0};
            open->last = j;
            open->area += (T - *v) * minutes;
            if (*v < open->nadir) {
                open->nadir = *v;
                open->nadirIndex = j;
            }
        }
        close();

        r.validMinutes = r.validSamples * minutes;
        if (r.validSamples > 0) {
            r.mean = sum / r.validSamples;
            r.min = lo;
            r.max = hi;
        }
        if (!analysed) {
            r.episodes.clear();
            continue;
        }
        double durations = 0, area = 0;
        for (const Episode& e : r.episodes) {
            durations += e.durationSeconds;
            area += e.area;
            if (!r.nadir || e.nadir < *r.nadir) {
                r.nadir = e.nadir;
                r.nadirIndex = e.nadirIndex;
            }
        }
        r.episodeCount = static_cast<std::int32_t>(r.episodes.size());
        r.minutesBelow = durations / 60;
        r.area = area;
        if (r.validSamples > 0) r.percentBelow = *r.minutesBelow / r.validMinutes * 100;
    }
    return out;
}

} // namespace tesmora
