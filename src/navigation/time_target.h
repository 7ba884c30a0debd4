#pragma once
// The sample a time typed by the user names: a clock time ("hh:mm:ss", on a day of the
// recording) or a time since the start ("+h:mm:ss").

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tesmora {

/// The recording as the search sees it: its start and its evenly spaced samples.
struct RecordingSpan {
    double startTime = 0;       // date-time of sample 0
    std::int32_t rate = 0;      // ms between samples
    std::int32_t dataCount = 0; // samples
};

/// The calendar days the recording touches, as day numbers (days since 1899-12-30).
std::vector<std::int64_t> RecordingDays(const RecordingSpan& span);

/// What a search found: the sample, or the message to show.
struct TimeTarget {
    std::optional<std::int32_t> index;
    std::string message;
};

/// The sample nearest to the time typed. A clock time lies on `day` (a day number), or, when
/// none is given, at its first occurrence within the recording. Times outside the recording,
/// text that is not a time, and an empty text give a message and no sample.
TimeTarget FindTimeTarget(std::string_view text, const RecordingSpan& span,
                          std::optional<std::int64_t> day = std::nullopt);

} // namespace tesmora
