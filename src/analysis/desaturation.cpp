#include "analysis/desaturation.h"

#include "recording/simd.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tesmora {
namespace {

// v of a sample, or nothing when the sample is not valid.
std::optional<double> Percent(const ChannelData& ch) {
    const double v = static_cast<double>(ch.StO2) * 100.0;
    if (ch.Status != 0 || !std::isfinite(v)) return std::nullopt;
    return v;
}

// The baselines of channels 0..channels-1: the mean of their valid samples in the interval.
std::array<std::optional<double>, 4> Baselines(const RecordingStore& store, int channels,
                                               const DesaturationSettings& settings) {
    std::int32_t first = 0, last = -1;
    if (settings.baselineSamples) {
        const auto [a, b] = *settings.baselineSamples;
        first = std::clamp(std::min(a, b), 0, store.DataCount - 1);
        last = std::clamp(std::max(a, b), 0, store.DataCount - 1);
    } else {
        // Samples 0.. whose time, index x interval, lies before the limit.
        const double limit = settings.baselineMinutes * 60000.0; // ms
        while (last + 1 < store.DataCount && double(last + 1) * store.Rate < limit) ++last;
    }
    double sum[4] = {};
    std::int32_t n[4] = {};
    for (std::int32_t j = first; j <= last; ++j)
        for (int c = 0; c < channels; ++c)
            if (const std::optional<double> v = Percent(store.SampleBuff[j].Ch[c])) {
                sum[c] += *v;
                ++n[c];
            }
    std::array<std::optional<double>, 4> out;
    for (int c = 0; c < channels; ++c)
        if (n[c] > 0) out[static_cast<std::size_t>(c)] = sum[c] / n[c];
    return out;
}

// One channel's pass, fed sample by sample.
class ChannelPass {
public:
    ChannelPass(DesaturationResult& r, const DesaturationSettings& settings, double seconds,
                double minutes)
        : r_(r), settings_(settings), seconds_(seconds), minutes_(minutes),
          analysed_(r.threshold.has_value()), T_(r.threshold.value_or(0)) {}

    void Take(std::int32_t j, const ChannelData& ch) {
        const std::optional<double> v = Percent(ch);
        if (!v) return;
        if (r_.validSamples == 0) lo_ = hi_ = *v;
        ++r_.validSamples;
        sum_ += *v;
        lo_ = std::min(lo_, *v);
        hi_ = std::max(hi_, *v);
        if (!analysed_ || !(*v < T_)) return;
        // A below sample: it goes on the run being followed when nothing or fewer than
        // mergeGap seconds' worth of samples lie between them.
        if (open_) {
            const std::int32_t between = j - open_->last - 1;
            if (between > 0 && !(between * seconds_ < settings_.mergeGap)) Close();
        }
        if (!open_) open_ = Episode{j, j, 0, j, *v, 0};
        open_->last = j;
        open_->area += (T_ - *v) * minutes_;
        if (*v < open_->nadir) {
            open_->nadir = *v;
            open_->nadirIndex = j;
        }
    }

    void Finish() {
        Close();
        r_.validMinutes = r_.validSamples * minutes_;
        if (r_.validSamples > 0) {
            r_.mean = sum_ / r_.validSamples;
            r_.min = lo_;
            r_.max = hi_;
        }
        if (!analysed_) return;
        double durations = 0, area = 0;
        for (const Episode& e : r_.episodes) {
            durations += e.durationSeconds;
            area += e.area;
            if (!r_.nadir || e.nadir < *r_.nadir) {
                r_.nadir = e.nadir;
                r_.nadirIndex = e.nadirIndex;
            }
        }
        r_.episodeCount = static_cast<std::int32_t>(r_.episodes.size());
        r_.minutesBelow = durations / 60;
        r_.area = area;
        if (r_.validSamples > 0) r_.percentBelow = *r_.minutesBelow / r_.validMinutes * 100;
    }

private:
    // The joined run ends: an episode when it spans minEpisode at least.
    void Close() {
        if (!open_) return;
        open_->durationSeconds = (open_->last - open_->first + 1) * seconds_;
        if (open_->durationSeconds >= settings_.minEpisode) r_.episodes.push_back(*open_);
        open_.reset();
    }

    DesaturationResult& r_;
    const DesaturationSettings& settings_;
    const double seconds_, minutes_;
    const bool analysed_;
    const double T_;
    double sum_ = 0, lo_ = 0, hi_ = 0;
    std::optional<Episode> open_; // the joined run being followed
};

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
    const double seconds = store.Rate / 1000.0, minutes = store.Rate / 60000.0;
    const int channels = std::clamp(store.ChCount, 0, 4);
    const std::array<std::optional<double>, 4> baselines = Baselines(store, channels, settings);
    std::vector<ChannelPass> passes;
    passes.reserve(4);
    for (int c = 0; c < channels; ++c) {
        DesaturationResult& r = out[static_cast<std::size_t>(c)];
        r.baseline = baselines[static_cast<std::size_t>(c)];
        if (settings.mode == DesaturationSettings::Mode::Absolute)
            r.threshold = settings.threshold;
        else if (r.baseline)
            r.threshold = *r.baseline * (1 - settings.drop / 100);
        passes.emplace_back(r, settings, seconds, minutes);
    }
    // One pass over the records for all channels: a record is read from memory once.
    const SampleRecord* const buf = store.SampleBuff.get();
    for (std::int32_t j = 0; j < store.DataCount; ++j) {
        PrefetchForRead(buf + std::min(j + 8, store.DataCount - 1));
        for (int c = 0; c < channels; ++c)
            passes[static_cast<std::size_t>(c)].Take(j, buf[j].Ch[c]);
    }
    for (ChannelPass& pass : passes) pass.Finish();
    return out;
}

} // namespace tesmora
