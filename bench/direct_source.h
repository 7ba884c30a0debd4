#pragma once
// The reference for the binary load: the same reader with one system read call per read
// request, as a reader without a buffer of its own makes them.

#include "recording/byte_source.h"

namespace tesmora::bench {

class DirectSource : public ByteSource {
public:
    explicit DirectSource(int fd) : ByteSource(fd, 1) {}

protected:
    // The buffer stays empty, so that every request comes here.
    std::size_t ReadSlow(void* dst, std::size_t n) override {
        auto* out = static_cast<std::uint8_t*>(dst);
        std::size_t done = 0;
        while (done < n && !AtEnd()) {
            CountSystemRead();
            const long got = ReadSystem(out + done, n - done);
            if (got <= 0)
                SetEnd(got < 0);
            else
                done += static_cast<std::size_t>(got);
        }
        return done;
    }
};

} // namespace tesmora::bench
