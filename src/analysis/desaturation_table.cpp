#include "analysis/desaturation_table.h"

#include "recording/datetime.h"

#include <charconv>
#include <cmath>

namespace tesmora {

std::string ShortestNumber(std::optional<double> v) {
    if (!v || !std::isfinite(*v)) return {};
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, *v); // shortest round trip
    return std::string(text, r.ptr);
}

std::string CsvLine(const std::vector<std::string>& cells) {
    std::string out;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i) out += ',';
        const std::string& s = cells[i];
        if (s.find_first_of(",\"\r\n") == std::string::npos) {
            out += s;
            continue;
        }
        out += '"';
        for (const char c : s) {
            if (c == '"') out += '"';
            out += c;
        }
        out += '"';
    }
    return out + "\r\n";
}

std::vector<std::string> SummaryHeader() {
    return {"File",      "Channel",      "ValidMinutes", "Baseline", "Threshold",
            "Episodes",  "MinutesBelow", "PercentBelow", "Area",     "Nadir",
            "NadirTime", "Mean",         "Min",          "Max"};
}

std::vector<std::string> SummaryRow(std::string_view file, int channel, const DesaturationResult& r,
                                    std::int32_t rate) {
    std::optional<double> nadirTime;
    if (r.nadirIndex) nadirTime = static_cast<double>(*r.nadirIndex) * rate / 1000.0;
    return {std::string(file),
            std::to_string(channel + 1),
            ShortestNumber(r.validMinutes),
            ShortestNumber(r.baseline),
            ShortestNumber(r.threshold),
            r.episodeCount ? std::to_string(*r.episodeCount) : std::string(),
            ShortestNumber(r.minutesBelow),
            ShortestNumber(r.percentBelow),
            ShortestNumber(r.area),
            ShortestNumber(r.nadir),
            ShortestNumber(nadirTime),
            ShortestNumber(r.mean),
            ShortestNumber(r.min),
            ShortestNumber(r.max)};
}

std::vector<std::string> EpisodeHeader() {
    return {"Channel", "Episode", "Start", "StartClock", "Duration", "Nadir", "NadirTime", "Area"};
}

std::vector<std::vector<std::string>> EpisodeRows(const RecordingStore& store, int channel,
                                                  const DesaturationResult& r) {
    std::vector<std::vector<std::string>> rows;
    const double seconds = store.Rate / 1000.0;
    for (std::size_t i = 0; i < r.episodes.size(); ++i) {
        const Episode& e = r.episodes[i];
        rows.push_back({std::to_string(channel + 1), std::to_string(i + 1),
                        ShortestNumber(e.first * seconds),
                        FormatTime(store.StartTime + store.SampleBuff[e.first].Time),
                        ShortestNumber(e.durationSeconds), ShortestNumber(e.nadir),
                        ShortestNumber(e.nadirIndex * seconds), ShortestNumber(e.area)});
    }
    return rows;
}

} // namespace tesmora
