#include "support/memory_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tesmora::test {

MemorySource::MemorySource(std::string bytes, long failAt, std::size_t chunk)
    : ByteSource(-1), bytes_(std::move(bytes)), failAt_(failAt), chunk_(chunk) {}

long MemorySource::ReadSystem(void* dst, std::size_t n) {
    if (failAt_ >= 0 && at_ >= static_cast<std::size_t>(failAt_)) {
        errno = EIO;
        return -1;
    }
    std::size_t take = std::min({n, chunk_, bytes_.size() - at_});
    if (failAt_ >= 0) take = std::min(take, static_cast<std::size_t>(failAt_) - at_);
    std::memcpy(dst, bytes_.data() + at_, take);
    at_ += take;
    return static_cast<long>(take);
}

MemorySink::MemorySink(long failAt, std::size_t buffer) : ByteSink(-1, buffer), failAt_(failAt) {}

long MemorySink::WriteSystem(const void* data, std::size_t n) {
    if (failAt_ >= 0 && bytes.size() >= static_cast<std::size_t>(failAt_)) {
        errno = ENOSPC;
        return -1;
    }
    std::size_t take = n;
    if (failAt_ >= 0) take = std::min(take, static_cast<std::size_t>(failAt_) - bytes.size());
    bytes.append(static_cast<const char*>(data), take);
    return static_cast<long>(take);
}

} // namespace tesmora::test
