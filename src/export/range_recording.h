#pragma once
// A span of a recording as a recording of its own, for saving a range.

#include "recording/store.h"

#include <cstdint>
#include <memory>

namespace tesmora {

/// Records first..last (both included, clamped to the recording) of `from` as a new store
/// that holds just them: the header fields as they are, StartTime the time of the first of
/// them and EndTime that of the last, each record's Time counted from the new start. Nothing
/// (nullptr) when the span holds no record.
std::unique_ptr<RecordingStore> RangeRecording(const RecordingStore& from, std::int32_t first,
                                               std::int32_t last);

} // namespace tesmora
