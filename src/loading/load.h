#pragma once
// Loading a recording file into the store: the part of the Open command that the viewer and
// the converter share.

#include "loading/formats.h"
#include "recording/store.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tesmora {

/// The messages a load reports, in the order it reports them.
enum class LoadMessage {
    DataFormatError,  // "Data format error."
    OverFourChannels, // "Does not support over 4 channels."
    StoreFull,        // "Unable to read anymore."
};

/// The program's text of a message.
const char* MessageText(LoadMessage message);

/// What a load did.
struct LoadOutcome {
    bool opened = false;   // false: the file did not open and the store is untouched
    std::string openError; // why it did not open, in the system's words
    bool binary = false;   // read as a binary recording (RecordingFormat::binary)
    std::vector<LoadMessage> messages;
    std::optional<std::string> error; // a value that did not convert: the load was discarded
};

/// What the caller hears while a load runs.
struct LoadObserver {
    /// The file is open and the store emptied (DataType and DataCount 0); the read follows.
    std::function<void()> opened;
    /// Each message at the moment the load reports it: "Unable to read anymore." while the
    /// file is still open, the others after it has been closed.
    std::function<void(LoadMessage)> report;

    static LoadObserver Reporting(std::function<void(LoadMessage)> report) {
        LoadObserver o;
        o.report = std::move(report);
        return o;
    }
};

/// Opens path, empties the store, reads the recording and closes the file. Afterwards the store
/// either holds the recording (DataCount > 0) or nothing (DataCount 0); never half of one.
LoadOutcome LoadRecording(RecordingStore& store, const std::string& path,
                          const LoadObserver& observer = {});

/// The same for bytes that come from elsewhere (the fuzzers, tests of read errors), read in
/// the given format.
LoadOutcome LoadFromSource(RecordingStore& store, ByteSource& src, const RecordingFormat& format,
                           const LoadObserver& observer = {});

} // namespace tesmora
