#include "csv/text_reader.h"

#include "csv/line_buffer.h"
#include "recording/datetime.h"

namespace tesmora {

ReadResult ReadTextRecording(ByteSource& src, RecordingStore& store) {
    LINE_BUFF_TYPE lb;
    bool failed = false;
    double interval = 0;
    double expected = 0; // the Time the next data row should have
    lb.ln = 0;
    while (!failed) {
        if (ReadLine(src, lb) <= 0) break;
        failed = GetColumn(lb, store) != 0;
        ++lb.ln;
        if (lb.ln == 1) {
            interval =
                EncodeTime(0, store.Rate / 60000, store.Rate % 60000 / 1000, store.Rate % 1000);
        } else if (lb.ln > 5) {
            if (!failed) {
                // A row whose fillers do not all fit is dropped with them.
                bool fits = true;
                if (store.DataCount == 0) {
                    expected = store.RowBuff.Time;
                } else {
                    // Fill missing steps; the comparison is on times of day to whole seconds.
                    expected += interval;
                    while (fits && WholeSecondsOfDay(expected) < store.RowBuff.Time) {
                        SampleRecord* const filler = store.AppendCopyOfLast();
                        fits = filler != nullptr;
                        if (fits) filler->Time = expected;
                        expected += interval;
                    }
                }
                store.RowBuff.Seq = store.DataCount;
                if (SampleRecord* const r = fits ? store.Append() : nullptr) *r = store.RowBuff;
            } else if (store.DataCount > 0) {
                // A row that does not parse repeats the previous sample, marked on channel 1.
                if (SampleRecord* const r = store.AppendCopyOfLast()) {
                    r->Ch[0].Status |= STS_FILLED;
                    store.RowBuff = *r;
                }
                failed = false;
            }
        }
        if (store.Full()) return ReadResult::StoreFull;
    }
    return failed ? ReadResult::FormatError : ReadResult::Success;
}

} // namespace tesmora
