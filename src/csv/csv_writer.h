#pragma once
// Writes a loaded recording as a text recording.

#include "recording/byte_sink.h"
#include "recording/store.h"

namespace tesmora {

/// True for the recording kinds the text format can hold as written: MV31 (1) and Pc56 (4).
bool CanWriteCsv(const RecordingStore& store);

/// Writes the header, start, end, channel and title lines and one row per sample, each line
/// ended by "\r\n". Returns false, writing nothing, for a kind CanWriteCsv() refuses. Write
/// errors are the sink's to report.
bool WriteCsvRecording(const RecordingStore& store, ByteSink& out);

} // namespace tesmora
