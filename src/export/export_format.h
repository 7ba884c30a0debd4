#pragma once
// The field's formats a recording is exported to, by name: what the converter's --format and
// the window's Export menu share.

#include "export/events.h"
#include "recording/byte_sink.h"
#include "recording/store.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tesmora {

enum class ExportFormat { Snirf, Edf, Bdf };

/// "snirf", "edf" or "bdf"; nothing for any other name.
std::optional<ExportFormat> ExportFormatNamed(std::string_view name);
/// The file name extension: ".snirf", ".edf", ".bdf".
const char* ExportExtension(ExportFormat format);

/// Writes the recording and its events in `format` into `out` (opened, not committed). False,
/// with the reason in `error`, when it could not be written.
bool WriteExport(const RecordingStore& store, const std::vector<ExportEvent>& events,
                 ExportFormat format, OutputFile& out, std::string& error);

} // namespace tesmora
