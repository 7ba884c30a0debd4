#pragma once
// The desaturation analysis as texts: the converter's summary rows, the Oximetry panel's
// tables, and the window's export of the per-channel table and the episode list.

#include "analysis/desaturation.h"
#include "analysis/text_table.h"
#include "recording/store.h"

#include <string>
#include <string_view>
#include <vector>

namespace tesmora {

/// File,Channel,ValidMinutes,Baseline,Threshold,Episodes,MinutesBelow,PercentBelow,Area,
/// Nadir,NadirTime,Mean,Min,Max
std::vector<std::string> SummaryHeader();
/// A channel's row (Channel counts from 1; NadirTime in elapsed seconds).
std::vector<std::string> SummaryRow(std::string_view file, int channel, const DesaturationResult& r,
                                    std::int32_t rate);

/// Channel,Episode,Start,StartClock,Duration,Nadir,NadirTime,Area: one row per episode, times
/// elapsed in seconds and the start's clock time.
std::vector<std::string> EpisodeHeader();
std::vector<std::vector<std::string>> EpisodeRows(const RecordingStore& store, int channel,
                                                  const DesaturationResult& r);

/// The panel's table: a row per measure, a column per channel of the recording.
TextTable ChannelTable(const RecordingStore& store, const std::array<DesaturationResult, 4>& r);

/// The panel's episode list: the episodes of channel 1, then of channel 2, and so on.
TextTable EpisodeTable(const RecordingStore& store, const std::array<DesaturationResult, 4>& r);

/// The channel and the episode of a row of EpisodeTable, or nothing.
struct EpisodeRef {
    int channel;
    const Episode* episode;
};
std::optional<EpisodeRef> EpisodeAt(const std::array<DesaturationResult, 4>& r, int row);

/// The settings in words, baselineFromMarkers when the baseline is taken between the markers:
/// "Below 50 %; episodes of 15 s or more; gaps under 10 s joined; ..." (no commas).
std::string SettingsText(const DesaturationSettings& s, bool baselineFromMarkers);

/// The export: the settings in words, the summary rows of every channel (File as given),
/// an empty line, then the episode list.
std::string AnalysisCsv(const RecordingStore& store, std::string_view file,
                        const std::array<DesaturationResult, 4>& r, const std::string& settings);

} // namespace tesmora
