#include "loading/load.h"

#include "recording/byte_source.h"
#include "recording/convert_error.h"

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

// Empties the store and reads the recording into it; then, once `close` has run, the messages
// of a failed read. Afterwards the store holds the recording or nothing.
void Load(RecordingStore& store, ByteSource& src, const RecordingFormat& format,
          const LoadObserver& observer, const std::function<void()>& close, LoadOutcome& outcome) {
    auto say = [&](LoadMessage m) {
        outcome.messages.push_back(m);
        if (observer.report) observer.report(m);
    };
    outcome.binary = format.binary;
    store.DataType = 0;
    store.DataCount = 0;
    if (observer.opened) observer.opened(); // after the store is empty, as the window shows it
    ReadResult result;
    try {
        result = format.read(src, store);
        // While the file is still open, as a reader of the device's files would say it.
        if (result == ReadResult::StoreFull) say(LoadMessage::StoreFull);
    } catch (const ConvertError& e) {
        // A value that does not convert discards the whole load: nothing half-read is shown.
        store.DataCount = 0;
        outcome.error = e.what();
        close();
        return;
    }
    close();
    if (result == ReadResult::FormatError) {
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
    const RecordingFormat& format = FormatFor(path);
    outcome.binary = format.binary;
    InputFile file(path);
    if (!file.IsOpen()) {
        outcome.openError = file.Error();
        return outcome;
    }
    outcome.opened = true;
    ByteSource src(file.Descriptor());
    Load(
        store, src, format, observer, [&] { file.Close(); }, outcome);
    return outcome;
}

LoadOutcome LoadFromSource(RecordingStore& store, ByteSource& src, const RecordingFormat& format,
                           const LoadObserver& observer) {
    LoadOutcome outcome;
    outcome.opened = true;
    Load(
        store, src, format, observer, [] {}, outcome);
    return outcome;
}

} // namespace tesmora
