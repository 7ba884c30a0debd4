#pragma once
// The recording as EDF+ (16-bit samples) or BDF+ (24-bit samples), written with EDFlib.

#include "export/events.h"
#include "recording/byte_sink.h"
#include "recording/store.h"

#include <string>
#include <vector>

namespace tesmora {

enum class EdfKind { Edf, Bdf };

/// Writes the recording and its events into `out` (opened, not committed: the caller commits
/// it). False, with the reason in `error`, when it could not be written; `out` then holds
/// nothing to keep.
bool WriteEdf(const RecordingStore& store, const std::vector<ExportEvent>& events, EdfKind kind,
              OutputFile& out, std::string& error);

} // namespace tesmora
