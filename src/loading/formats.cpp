#include "loading/formats.h"

#include "csv/text_reader.h"
#include "recording/ascii.h"
#include "recording/file_name.h"
#include "recording/lqd_reader.h"

namespace tesmora {
namespace {

bool AnyPath(std::string_view) {
    return true;
}

constexpr RecordingFormat kFormats[] = {
    {"lqd", true, IsBinaryRecordingPath, ReadLQDfile},
    {"csv", false, AnyPath, ReadTextRecording}, // every other extension, or none
};

} // namespace

bool IsBinaryRecordingPath(std::string_view path) {
    return EqualsIgnoringAsciiCase(FileExtension(path), ".lqd");
}

std::span<const RecordingFormat> RecordingFormats() {
    return kFormats;
}

const RecordingFormat& FormatFor(std::string_view path) {
    for (const RecordingFormat& f : kFormats)
        if (f.takes(path)) return f;
    return kFormats[std::size(kFormats) - 1];
}

} // namespace tesmora
