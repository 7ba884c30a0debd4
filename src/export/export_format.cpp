#include "export/export_format.h"

#include "export/edf_writer.h"
#include "export/snirf_writer.h"

namespace tesmora {

std::optional<ExportFormat> ExportFormatNamed(std::string_view name) {
    if (name == "snirf") return ExportFormat::Snirf;
    if (name == "edf") return ExportFormat::Edf;
    if (name == "bdf") return ExportFormat::Bdf;
    return std::nullopt;
}

const char* ExportExtension(ExportFormat format) {
    switch (format) {
    case ExportFormat::Snirf:
        return ".snirf";
    case ExportFormat::Edf:
        return ".edf";
    case ExportFormat::Bdf:
        return ".bdf";
    }
    return "";
}

bool WriteExport(const RecordingStore& store, const std::vector<ExportEvent>& events,
                 ExportFormat format, OutputFile& out, std::string& error) {
    switch (format) {
    case ExportFormat::Snirf:
        return WriteSnirf(store, events, out, error);
    case ExportFormat::Edf:
        return WriteEdf(store, events, EdfKind::Edf, out, error);
    case ExportFormat::Bdf:
        return WriteEdf(store, events, EdfKind::Bdf, out, error);
    }
    error = "unknown format";
    return false;
}

} // namespace tesmora
