#include "analysis/desaturation_table.h"

#include "recording/datetime.h"

#include <algorithm>

namespace tesmora {

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

TextTable ChannelTable(const RecordingStore& store, const std::array<DesaturationResult, 4>& r) {
    TextTable t;
    const int channels = std::clamp(store.ChCount, 0, 4);
    t.header.push_back("");
    for (int c = 0; c < channels; ++c) t.header.push_back("CH" + std::to_string(c + 1));
    using Cell = std::string (*)(const RecordingStore&, const DesaturationResult&);
    static const std::pair<const char*, Cell> kRows[] = {
        {"Valid time [min]",
         [](const RecordingStore&, const DesaturationResult& d) {
             return FixedNumber(d.validMinutes, 1);
         }},
        {"Baseline [%]", [](const RecordingStore&,
                            const DesaturationResult& d) { return FixedNumber(d.baseline, 1); }},
        {"Threshold [%]", [](const RecordingStore&,
                             const DesaturationResult& d) { return FixedNumber(d.threshold, 1); }},
        {"Episodes",
         [](const RecordingStore&, const DesaturationResult& d) {
             return d.episodeCount ? std::to_string(*d.episodeCount) : std::string("-");
         }},
        {"Time below [min]",
         [](const RecordingStore&, const DesaturationResult& d) {
             return FixedNumber(d.minutesBelow, 2);
         }},
        {"Below [% of valid]",
         [](const RecordingStore&, const DesaturationResult& d) {
             return FixedNumber(d.percentBelow, 2);
         }},
        {"Area [%\u00b7min]",
         [](const RecordingStore&, const DesaturationResult& d) { return FixedNumber(d.area, 2); }},
        {"Nadir [%]", [](const RecordingStore&,
                         const DesaturationResult& d) { return FixedNumber(d.nadir, 1); }},
        {"Nadir at",
         [](const RecordingStore& st, const DesaturationResult& d) {
             return d.nadirIndex ? FormatTimeShort(st.StartTime + st.SampleBuff[*d.nadirIndex].Time)
                                 : std::string("-");
         }},
        {"Mean [%]",
         [](const RecordingStore&, const DesaturationResult& d) { return FixedNumber(d.mean, 1); }},
        {"Min [%]",
         [](const RecordingStore&, const DesaturationResult& d) { return FixedNumber(d.min, 1); }},
        {"Max [%]",
         [](const RecordingStore&, const DesaturationResult& d) { return FixedNumber(d.max, 1); }},
    };
    for (const auto& [name, cell] : kRows) {
        std::vector<std::string> row{name};
        for (int c = 0; c < channels; ++c)
            row.push_back(cell(store, r[static_cast<std::size_t>(c)]));
        t.rows.push_back(std::move(row));
    }
    return t;
}

TextTable EpisodeTable(const RecordingStore& store, const std::array<DesaturationResult, 4>& r) {
    TextTable t;
    t.header = {"CH", "Start", "Duration [s]", "Nadir [%]", "Area [%\u00b7min]"};
    for (int c = 0; c < 4; ++c)
        for (const Episode& e : r[static_cast<std::size_t>(c)].episodes)
            t.rows.push_back({"CH" + std::to_string(c + 1),
                              FormatTimeShort(store.StartTime + store.SampleBuff[e.first].Time),
                              FixedNumber(e.durationSeconds, 1), FixedNumber(e.nadir, 1),
                              FixedNumber(e.area, 2)});
    return t;
}

std::optional<EpisodeRef> EpisodeAt(const std::array<DesaturationResult, 4>& r, int row) {
    if (row < 0) return std::nullopt;
    for (int c = 0; c < 4; ++c) {
        const std::vector<Episode>& episodes = r[static_cast<std::size_t>(c)].episodes;
        if (static_cast<std::size_t>(row) < episodes.size())
            return EpisodeRef{c, &episodes[static_cast<std::size_t>(row)]};
        row -= static_cast<int>(episodes.size());
    }
    return std::nullopt;
}

std::string SettingsText(const DesaturationSettings& s, bool baselineFromMarkers) {
    const std::string baseline =
        baselineFromMarkers
            ? "the baseline between markers A and B"
            : "the baseline of the first " + ShortestNumber(s.baselineMinutes) + " min";
    std::string text = s.mode == DesaturationSettings::Mode::Absolute
                           ? "Below " + ShortestNumber(s.threshold) + " %"
                           : ShortestNumber(s.drop) + " % below " + baseline;
    text += "; episodes of " + ShortestNumber(s.minEpisode) + " s or more; gaps under " +
            ShortestNumber(s.mergeGap) + " s joined";
    if (s.mode == DesaturationSettings::Mode::Absolute) text += "; " + baseline;
    return text;
}

std::string AnalysisCsv(const RecordingStore& store, std::string_view file,
                        const std::array<DesaturationResult, 4>& r, const std::string& settings) {
    std::string out = CsvLine({settings});
    out += CsvLine(SummaryHeader());
    for (int c = 0; c < std::clamp(store.ChCount, 0, 4); ++c)
        out += CsvLine(SummaryRow(file, c, r[static_cast<std::size_t>(c)], store.Rate));
    out += "\r\n";
    out += CsvLine(EpisodeHeader());
    for (int c = 0; c < 4; ++c)
        for (const auto& row : EpisodeRows(store, c, r[static_cast<std::size_t>(c)]))
            out += CsvLine(row);
    return out;
}

} // namespace tesmora
