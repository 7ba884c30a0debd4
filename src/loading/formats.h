#pragma once
// The kinds of recording file the load pipeline reads: one entry per format.

#include "recording/byte_source.h"
#include "recording/read_result.h"
#include "recording/store.h"

#include <span>
#include <string_view>

namespace tesmora {

/// A file format and its reader.
struct RecordingFormat {
    const char* name;
    /// A binary recording: one that "Save As CSV" can write out again.
    bool binary;
    /// True when the format takes a file of that name. Content is never examined.
    bool (*takes)(std::string_view path);
    /// Reads the recording from its start into the store, whose DataType and DataCount the
    /// caller has reset. A value that does not convert throws ConvertError.
    ReadResult (*read)(ByteSource& src, RecordingStore& store);
};

/// Every format, in the order their names are tried; the last takes every name.
std::span<const RecordingFormat> RecordingFormats();

/// The format that reads the file of that name.
const RecordingFormat& FormatFor(std::string_view path);

/// True when the file name's extension, lower-cased, is exactly ".lqd".
bool IsBinaryRecordingPath(std::string_view path);

} // namespace tesmora
