#pragma once
// The recording as SNIRF (version 1.1), the fNIRS community's HDF5 format, written with the
// HDF5 C library.

#include "export/events.h"
#include "recording/byte_sink.h"
#include "recording/store.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tesmora {

/// Writes the recording and its events into `out` (opened, not committed: the caller commits
/// it). False, with the reason in `error`, when it could not be written; `out` then holds
/// nothing to keep.
bool WriteSnirf(const RecordingStore& store, const std::vector<ExportEvent>& events,
                OutputFile& out, std::string& error);

/// The bytes WriteSnirf writes, built in memory. False, with the reason in `error`, when the
/// file could not be built (no samples, no channels, HDF5 failed, memory ran out).
bool SnirfImage(const RecordingStore& store, const std::vector<ExportEvent>& events,
                std::vector<std::uint8_t>& image, std::string& error);

} // namespace tesmora
