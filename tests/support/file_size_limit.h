#pragma once
// A limit on the size of the files this process writes, for as long as it lives: writes
// beyond it fail with EFBIG (the signal that would end the process is ignored meanwhile), as
// on a full disk.

#include <csignal>
#include <sys/resource.h>

namespace tesmora::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : handler_(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        set_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    /// False when the system refused the limit (the test then proves nothing).
    bool Set() const { return set_; }

private:
    void (*handler_)(int);
    rlimit saved_{};
    bool set_ = false;
};

} // namespace tesmora::test
