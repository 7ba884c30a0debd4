#pragma once
// What every fuzz target checks after a load.

#include "loading/load.h"
#include "recording/store.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tesmora::fuzz {

/// Records in the fuzzers' store. Far below the viewer's SAMPLE_CAPACITY: a random counter or
/// time stamp then fills it with a few hundred kilobytes of fillers instead of 70 MB, and the
/// store-full paths, where a write past the end was once found, come up on many inputs. run.sh
/// replays every corpus at SAMPLE_CAPACITY through FUZZ_CAPACITY, which overrides this.
inline constexpr std::int32_t kFuzzCapacity = 1024;

/// kFuzzCapacity, or FUZZ_CAPACITY from the environment.
std::int32_t Capacity();

/// The store of Capacity() records, made once for the whole run.
RecordingStore& Store();

/// Loads bytes as a binary or a text recording.
LoadOutcome LoadBytes(RecordingStore& store, const std::uint8_t* data, std::size_t size,
                      bool binary);

/// Stops the run when the store breaks an invariant after a load: DataCount within the
/// capacity, a failed load shows nothing, a load reported as having filled the store did,
/// text recordings carry only the defined status bits.
void CheckLoad(const RecordingStore& store, const LoadOutcome& outcome, bool binary);

/// True when text is lines of well-formed JSON objects.
bool JsonLinesWellFormed(const std::string& text);

[[noreturn]] void Fail(const char* what);

} // namespace tesmora::fuzz
