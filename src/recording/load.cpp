#include "recording/load.h"

#include "recording/byte_source.h"
#include "recording/convert_error.h"
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

bool IsBinaryRecordingPath(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    std::string ext = path.substr(dot);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext == ".lqd";
}

LoadOutcome LoadRecording(RecordingStore& store, const std::string& path,
                          const MessageSink& report) {
    LoadOutcome outcome;
    outcome.binary = IsBinaryRecordingPath(path);
    InputFile file(path);
    if (!file.IsOpen()) {
        outcome.openError = file.Error();
        return outcome;
    }
    outcome.opened = true;
    auto say = [&](LoadMessage m) {
        outcome.messages.push_back(m);
        if (report) report(m);
    };

    store.DataType = 0;
    store.DataCount = 0;
    bool failed = false;
    try {
        ByteSource src(file.Descriptor());
        if (outcome.binary) {
            const ReadResult r = ReadLQDfile(src, store);
            failed = r == ReadResult::FormatError;
            if (r == ReadResult::StoreFull) say(LoadMessage::StoreFull);
        } else {
            throw ConvertError("Text recordings are not read yet");
        }
    } catch (const ConvertError& e) {
        // A value that does not convert discards the whole load: nothing half-read is shown.
        store.DataCount = 0;
        outcome.error = e.what();
        return outcome;
    }
    file.Close();

    if (failed) {
        say(LoadMessage::DataFormatError);
        store.DataCount = 0;
    }
    if (store.ChCount > 4) {
        say(LoadMessage::OverFourChannels);
        store.DataCount = 0;
    }
    return outcome;
}

} // namespace tesmora
