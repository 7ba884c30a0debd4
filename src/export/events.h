#pragma once
// What an export carries beside the samples: the status runs of every channel, the replaced
// rows, the notes and the markers, each a labelled span of samples. The SNIRF, EDF+ and BDF+
// writers all take them from here.

#include "analysis/notes.h"
#include "recording/store.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tesmora {

struct ExportEvent {
    std::string label;
    std::int32_t first = 0, last = 0; // samples, both included
    bool operator==(const ExportEvent&) const = default;
};

/// The events of a recording, ordered by their first sample (then as listed below):
/// - per channel, every maximal run of samples with the same status: "CH1 E3" (an error with
///   device code 3), "CH1 E" (an error without a code), "CH1 P" (a "P" sample);
/// - "Replaced": every run of rows that did not parse and were replaced by the row before;
/// - every note, its text as the label (a span of its one sample);
/// - "Marker A" and "Marker B", when given.
std::vector<ExportEvent> RecordingEvents(const RecordingStore& store,
                                         const std::vector<Note>& notes = {},
                                         std::optional<std::int32_t> markerA = std::nullopt,
                                         std::optional<std::int32_t> markerB = std::nullopt);

/// A sample's value is a measurement: its status is 0. (Every other sample is written as
/// "no value" by the exporters.)
inline bool IsMeasured(const ChannelData& ch) {
    return ch.Status == 0;
}

/// Seconds from the start of sample j (j x the sample interval, exact to the millisecond).
inline double SampleSeconds(const RecordingStore& store, std::int64_t j) {
    return static_cast<double>(j * store.Rate) / 1000.0;
}

/// The device model's tag: "MV31", "Pc48" or "Pc56" ("" for none).
std::string ModelTag(const RecordingStore& store);

} // namespace tesmora
