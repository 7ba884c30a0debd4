#pragma once
// Reader of the binary recording files: "WS56" (three channels) and "WS31" (one channel).

#include "recording/byte_source.h"
#include "recording/read_result.h"
#include "recording/store.h"

#include <cstdint>

namespace tesmora {

/// The value of a packed BCD byte; 0 for bytes above 0x99. Digits above 9 are not checked.
std::uint8_t DecodeBCD(std::uint8_t b);

/// Reads a binary recording from its start into the store, whose DataType and DataCount the
/// caller has reset. Inserts filler records for skipped time steps. Never stores more than
/// Capacity() records. A date or time stamp that does not exist throws ConvertError.
ReadResult ReadLQDfile(ByteSource& src, RecordingStore& store);

} // namespace tesmora
