#include "recording/load.h"

#include "csv/line_buffer.h"
#include "recording/byte_source.h"
#include "recording/convert_error.h"
#include "recording/datetime.h"
#include "recording/lqd_reader.h"

namespace tesmora {

const char* MessageText(LoadMessage message) {
    switch (message) {
    case LoadMessage::DataFormatError:
        return "Data format error.";
    case LoadMessage::OverFourChannels:
        return "Does not support over 4 channels.";
    case LoadMessage::StoreFull:
        return "Unable to read anymore.";
    }
    return "";
}

namespace {

// Reads a text recording line by line into the store. Returns true when the data is unusable
// (a bad header line or a first data row that does not parse).
bool ReadTextRecording(ByteSource& src, RecordingStore& store,
                       const std::function<void()>& storeFull) {
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
        if (store.Full()) {
            storeFull();
            break;
        }
    }
    return failed;
}

} // namespace

bool IsBinaryRecordingPath(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    std::string ext = path.substr(dot);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext == ".lqd";
}

namespace {

// Empties the store and reads the recording into it; then, once `close` has run, the messages
// of a failed read. Afterwards the store holds the recording or nothing.
void Load(RecordingStore& store, ByteSource& src, const LoadObserver& observer,
          const std::function<void()>& close, LoadOutcome& outcome) {
    auto say = [&](LoadMessage m) {
        outcome.messages.push_back(m);
        if (observer.report) observer.report(m);
    };
    store.DataType = 0;
    store.DataCount = 0;
    if (observer.opened) observer.opened(); // after the store is empty, as the window shows it
    bool failed = false;
    try {
        if (outcome.binary) {
            const ReadResult r = ReadLQDfile(src, store);
            failed = r == ReadResult::FormatError;
            if (r == ReadResult::StoreFull) say(LoadMessage::StoreFull);
        } else {
            failed = ReadTextRecording(src, store, [&] { say(LoadMessage::StoreFull); });
        }
    } catch (const ConvertError& e) {
        // A value that does not convert discards the whole load: nothing half-read is shown.
        store.DataCount = 0;
        outcome.error = e.what();
        close();
        return;
    }
    close();
    if (failed) {
        say(LoadMessage::DataFormatError);
        store.DataCount = 0;
    }
    if (store.ChCount > 4) {
        say(LoadMessage::OverFourChannels);
        store.DataCount = 0;
    }
}

} // namespace

LoadOutcome LoadRecording(RecordingStore& store, const std::string& path,
                          const LoadObserver& observer) {
    LoadOutcome outcome;
    outcome.binary = IsBinaryRecordingPath(path);
    InputFile file(path);
    if (!file.IsOpen()) {
        outcome.openError = file.Error();
        return outcome;
    }
    outcome.opened = true;
    ByteSource src(file.Descriptor());
    Load(
        store, src, observer, [&] { file.Close(); }, outcome);
    return outcome;
}

LoadOutcome LoadFromSource(RecordingStore& store, ByteSource& src, bool binary,
                           const LoadObserver& observer) {
    LoadOutcome outcome;
    outcome.binary = binary;
    outcome.opened = true;
    if (observer.opened) observer.opened();
    Load(
        store, src, observer, [] {}, outcome);
    return outcome;
}

} // namespace tesmora
