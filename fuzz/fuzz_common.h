#pragma once
// What every fuzz target checks after a load.

#include "loading/load.h"
#include "recording/store.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tesmora::fuzz {

/// The store, made once for the whole run (it is large).
RecordingStore& Store();

/// Loads bytes as a binary or a text recording.
LoadOutcome LoadBytes(RecordingStore& store, const std::uint8_t* data, std::size_t size,
                      bool binary);

/// Stops the run when the store breaks an invariant after a load: DataCount within the
/// capacity, a failed load shows nothing, text recordings carry only the defined status bits.
void CheckLoad(const RecordingStore& store, const LoadOutcome& outcome, bool binary);

/// True when text is lines of well-formed JSON objects.
bool JsonLinesWellFormed(const std::string& text);

[[noreturn]] void Fail(const char* what);

} // namespace tesmora::fuzz
