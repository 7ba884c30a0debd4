#pragma once
// The statistics between the markers as a table of texts: what the Measurements panel shows,
// what "Copy Values" copies (tab-separated) and what "Export Measurements..." writes (CSV).

#include "analysis/interval_stats.h"
#include "analysis/text_table.h"
#include "recording/store.h"

#include <string>
#include <vector>

namespace tesmora {

/// The header and the rows, numbers with "." (the panel shows the locale's point instead).
struct MeasurementTable : TextTable {
    std::string summary; // "A 10:00:00, B 10:15:30, dt 0:15:30.0 (1860 samples)"
};

/// The table for markers a and b over the given channels (each with its four quantities).
MeasurementTable MakeMeasurementTable(const RecordingStore& store, std::int32_t a, std::int32_t b,
                                      const std::vector<int>& channels);

/// "h:mm:ss.s" of a duration in milliseconds.
std::string DurationText(std::int64_t ms);

} // namespace tesmora
