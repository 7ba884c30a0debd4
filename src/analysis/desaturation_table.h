#pragma once
// The desaturation analysis as CSV: the converter's summary rows, and the window's export of
// the per-channel table and the episode list.

#include "analysis/desaturation.h"
#include "recording/store.h"

#include <string>
#include <string_view>
#include <vector>

namespace tesmora {

/// The shortest text that reads back to the same double; empty for none.
std::string ShortestNumber(std::optional<double> v);

/// One CSV line: cells holding a comma, a quote or a line break quoted, "\r\n" at the end.
std::string CsvLine(const std::vector<std::string>& cells);

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

} // namespace tesmora
