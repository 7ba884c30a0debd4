#pragma once
// Reader of text recordings: the header lines, then one record per data row, with filler
// records for missing time steps and replacements for rows that do not parse.

#include "recording/byte_source.h"
#include "recording/read_result.h"
#include "recording/store.h"

namespace tesmora {

/// Reads a text recording line by line into the store, whose DataType and DataCount the
/// caller has reset. FormatError: a bad header line, or a first data row that does not parse.
/// StoreFull: the store filled up; a row whose fillers did not all fit is dropped with them.
/// Values that do not convert throw ConvertError.
ReadResult ReadTextRecording(ByteSource& src, RecordingStore& store);

} // namespace tesmora
