#pragma once
// What every fuzz target checks after a load.

#include "loading/load.h"
#include "recording/byte_sink.h"
#include "recording/byte_source.h"
#include "recording/store.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tesmora::fuzz {

/// Records in the fuzzers' store. Far below the viewer's SAMPLE_CAPACITY: a random counter or
/// time stamp then fills it with 50 KB of fillers instead of 70 MB, and the store-full paths,
/// where a write past the end was once found, come up on many inputs. Every reader sees the
/// capacity only through Append() and Full(), so nothing else changes. FUZZ_CAPACITY overrides
/// it: run.sh replays the corpora at SAMPLE_CAPACITY that way.
inline constexpr std::int32_t kFuzzCapacity = 256;

/// kFuzzCapacity, or FUZZ_CAPACITY from the environment.
std::int32_t Capacity();

/// The store of Capacity() records, made once for the whole run.
RecordingStore& Store();

/// Bytes in memory, served through the program's buffered reads in system reads of at most
/// kChunk bytes, so that longer inputs cross refills. A buffer of one such read fills exactly as
/// the program's larger one would, without clearing 64 KB for every input; nor are the bytes
/// copied.
class ViewSource : public ByteSource {
public:
    static constexpr std::size_t kChunk = 4096;
    explicit ViewSource(std::string_view bytes) : ByteSource(-1, kChunk), bytes_(bytes) {}

protected:
    long ReadSystem(void* dst, std::size_t n) override;

private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

/// Appends what is written to a string that the caller keeps from run to run: its memory is
/// then allocated once, not grown again on every input. The buffer is small so that records
/// cross its end, as they do the file sinks' on long recordings.
class StringSink : public ByteSink {
public:
    explicit StringSink(std::string& out) : ByteSink(-1, 4096), out_(out) { out_.clear(); }

protected:
    long WriteSystem(const void* data, std::size_t n) override;

private:
    std::string& out_;
};

/// Loads bytes as a binary or a text recording.
LoadOutcome LoadBytes(RecordingStore& store, const std::uint8_t* data, std::size_t size,
                      bool binary);

/// Stops the run when the store breaks an invariant after a load: DataCount within the
/// capacity, a failed load shows nothing, a load reported as having filled the store did,
/// text recordings carry only the defined status bits.
void CheckLoad(const RecordingStore& store, const LoadOutcome& outcome, bool binary);

/// True when text is exactly `lines` lines, each a well-formed JSON object.
bool JsonLinesWellFormed(std::string_view text, std::size_t lines);

[[noreturn]] void Fail(const char* what);

} // namespace tesmora::fuzz
