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
/// time stamp then fills it with 13 KB of fillers instead of 70 MB, and the store-full paths,
/// where a write past the end was once found, come up on most inputs. The readers see the
/// capacity only through Append() and Full(). fuzz_output writes every record it loads twice
/// and reads them back: at 256 records it managed 1,300 inputs a second, at 64 over 5,000.
/// FUZZ_CAPACITY overrides it; run.sh replays the corpora at SAMPLE_CAPACITY that way.
inline constexpr std::int32_t kFuzzCapacity = 64;

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

/// One in kFullSizeShare of the inputs that fill the store, chosen by a hash of their bytes, is
/// loaded again at SAMPLE_CAPACITY rather than four times Capacity() (see LoadAndCheck). Such a
/// load writes up to 70 MB, some 7 ms; at one in 64 they took four fifths of fuzz_lqd's time,
/// at one in 256 still over a thousand a minute.
inline constexpr std::uint32_t kFullSizeShare = 256;

/// Stops the run when the store breaks an invariant after a load: DataCount within the
/// capacity, a failed load shows nothing, a load reported as having filled the store did,
/// text recordings carry only the defined status bits.
void CheckLoad(const RecordingStore& store, const LoadOutcome& outcome, bool binary);

/// The recording a writer's target writes: the first byte's lowest bit chooses the reader,
/// the rest is loaded into Store() and checked (CheckLoad). Nothing when it holds no record,
/// or more than 20,000: volume is not the point here (the tests write full stores), and long
/// recordings, mostly of fillers, would take the fuzzer's time from the variety of inputs.
RecordingStore* LoadForWriter(const std::uint8_t* data, std::size_t size);

/// Loads bytes into Store() and checks the result with CheckLoad. When the load filled the
/// store it is repeated in a larger one, for a few inputs the viewer's own size, which must
/// agree with the first as far as the first went: the same failure, header and records.
void LoadAndCheck(const std::uint8_t* data, std::size_t size, bool binary);

/// True when text is exactly `lines` lines, each a well-formed JSON object.
bool JsonLinesWellFormed(std::string_view text, std::size_t lines);

[[noreturn]] void Fail(const char* what);

} // namespace tesmora::fuzz
