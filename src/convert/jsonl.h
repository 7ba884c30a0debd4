#pragma once

#include "recording/byte_sink.h"
#include "recording/store.h"

namespace tesmora {

/// Writes the store as JSON Lines: a header object, then one object per record.
void WriteJsonLines(const RecordingStore& store, ByteSink& out);

} // namespace tesmora
