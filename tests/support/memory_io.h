#pragma once
// Byte sources and sinks in memory, with failures on demand.

#include "recording/byte_sink.h"
#include "recording/byte_source.h"

#include <string>

namespace tesmora::test {

/// Serves bytes from memory in reads of at most `chunk` bytes; after `failAt` bytes a read
/// fails with an error (never when failAt is negative).
class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::string bytes, long failAt = -1, std::size_t chunk = 7);

protected:
    long ReadSystem(void* dst, std::size_t n) override;

private:
    std::string bytes_;
    std::size_t at_ = 0;
    long failAt_;
    std::size_t chunk_;
};

/// Collects what is written; after `failAt` bytes every write fails (never when negative).
class MemorySink : public ByteSink {
public:
    explicit MemorySink(long failAt = -1, std::size_t buffer = 64);
    std::string bytes;

protected:
    long WriteSystem(const void* data, std::size_t n) override;

private:
    long failAt_;
};

} // namespace tesmora::test
