#include "export/range_recording.h"

#include "recording/datetime.h"

#include <algorithm>

namespace tesmora {

std::unique_ptr<RecordingStore> RangeRecording(const RecordingStore& from, std::int32_t first,
                                               std::int32_t last) {
    first = std::max(first, 0);
    last = std::min(last, from.DataCount - 1);
    if (first > last) return nullptr;
    const std::int32_t n = last - first + 1;
    auto into = std::make_unique<RecordingStore>(n);
    into->ChCount = from.ChCount;
    into->DataType = from.DataType;
    into->SerialNo = from.SerialNo;
    into->Rate = from.Rate;
    into->PatientID = from.PatientID;
    into->PatientName = from.PatientName;
    // Record j lies j x Rate after the start: the new times come from the grid, not from the
    // old running times less the first (which would carry the sum's rounding into the copy).
    auto days = [&](std::int64_t j) { return static_cast<double>(j * from.Rate) / MS_PER_DAY; };
    into->StartTime = from.StartTime + days(first);
    into->EndTime = from.StartTime + days(last);
    std::copy(from.SampleBuff.get() + first, from.SampleBuff.get() + last + 1,
              into->SampleBuff.get());
    into->DataCount = n;
    for (std::int32_t j = 0; j < n; ++j) into->SampleBuff[j].Time = days(j);
    return into;
}

} // namespace tesmora
