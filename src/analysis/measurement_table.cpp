#include "analysis/measurement_table.h"

#include "recording/datetime.h"

#include <algorithm>
#include <cstdio>

namespace tesmora {
namespace {

constexpr const char* kQuantities[4] = {"OXHb", "DXHb", "TOHb", "StO2 [%]"};

std::string ClockOf(const RecordingStore& store, std::int32_t index) {
    if (index < 0 || index >= store.DataCount) return "-";
    return FormatTimeShort(store.StartTime + store.SampleBuff[index].Time);
}

} // namespace

std::string DurationText(std::int64_t ms) {
    const std::int64_t tenths = (ms + 50) / 100;
    char text[48];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%lld",
                  static_cast<long long>(tenths / 36000), static_cast<long long>(tenths / 600 % 60),
                  static_cast<long long>(tenths / 10 % 60), static_cast<long long>(tenths % 10));
    return text;
}

MeasurementTable MakeMeasurementTable(const RecordingStore& store, std::int32_t a, std::int32_t b,
                                      const std::vector<int>& channels) {
    MeasurementTable t;
    t.header = {"Channel", "Quantity",   "At A",   "At B", "B - A",   "Min",
                "Min at",  "Max",        "Max at", "Mean", "SD",      "Slope/min",
                "Valid",   "Not finite", "E",      "P",    "Replaced"};
    if (store.DataCount <= 0) return t;
    const SampleInterval in = OrderedInterval(a, b, store.DataCount);
    const std::int32_t ca = std::clamp(a, 0, store.DataCount - 1);
    const std::int32_t cb = std::clamp(b, 0, store.DataCount - 1);
    t.summary = "A " + ClockOf(store, ca) + ", B " + ClockOf(store, cb) + ", dt " +
                DurationText(std::int64_t{in.last - in.first} * store.Rate) + " (" +
                std::to_string(in.last - in.first) + " samples)";
    const std::array<ChannelStats, 4> stats = IntervalStats(store, a, b);
    for (const int c : channels) {
        if (c < 0 || c >= std::min(store.ChCount, 4)) continue;
        const ChannelStats& cs = stats[static_cast<std::size_t>(c)];
        for (int q = 0; q < 4; ++q) {
            const SeriesStats& s = cs.series[static_cast<std::size_t>(q)];
            // Hb to four decimals as the read-out shows them, percent to two; the derived
            // numbers with two more.
            const int digits = q == 3 ? 2 : 4;
            std::optional<double> diff;
            if (s.atA && s.atB) diff = *s.atB - *s.atA;
            t.rows.push_back({"CH" + std::to_string(c + 1), kQuantities[q],
                              FixedNumber(s.atA, digits), FixedNumber(s.atB, digits),
                              FixedNumber(diff, digits), FixedNumber(s.min, digits),
                              s.min ? ClockOf(store, s.minIndex) : "-", FixedNumber(s.max, digits),
                              s.max ? ClockOf(store, s.maxIndex) : "-",
                              FixedNumber(s.mean, digits + 2), FixedNumber(s.sd, digits + 2),
                              FixedNumber(s.slopePerMinute, digits + 2), std::to_string(s.valid),
                              std::to_string(s.notFinite), std::to_string(cs.excluded.e),
                              std::to_string(cs.excluded.p), std::to_string(cs.excluded.replaced)});
        }
    }
    return t;
}

} // namespace tesmora
