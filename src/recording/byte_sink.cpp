#include "recording/byte_sink.h"

#include "recording/system_error.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tesmora {

void ByteSink::WriteInteger(std::int64_t value) {
    char* p = Reserve(24);
    const auto r = std::to_chars(p, p + 24, value);
    Advance(static_cast<std::size_t>(r.ptr - p)); // 24 characters hold every 64-bit integer
}

ByteSink::ByteSink(int fd, std::size_t bufferSize)
    : fd_(fd), capacity_(std::max<std::size_t>(bufferSize, 64)),
      buffer_(std::make_unique<char[]>(capacity_)) {}

ByteSink::~ByteSink() = default;

long ByteSink::WriteSystem(const void* data, std::size_t n) {
    for (;;) {
        const ssize_t put = ::write(fd_, data, n);
        if (put >= 0 || errno != EINTR) return static_cast<long>(put);
    }
}

void ByteSink::Drain() {
    std::size_t done = 0;
    while (done < pos_ && error_ == 0) {
        const long put = WriteSystem(buffer_.get() + done, pos_ - done);
        if (put < 0)
            error_ = errno ? errno : EIO;
        else if (put == 0)
            error_ = ENOSPC;
        else
            done += static_cast<std::size_t>(put);
    }
    pos_ = 0;
}

void ByteSink::Write(const void* data, std::size_t n) {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        if (pos_ == capacity_) Drain();
        const std::size_t take = std::min(n, capacity_ - pos_);
        std::memcpy(buffer_.get() + pos_, p, take);
        pos_ += take;
        p += take;
        n -= take;
    }
}

char* ByteSink::Reserve(std::size_t n) {
    if (capacity_ - pos_ < n) Drain();
    if (capacity_ < n) { // a request larger than the buffer: the buffer grows to hold it
        buffer_ = std::make_unique<char[]>(n);
        capacity_ = n;
    }
    return buffer_.get() + pos_;
}

bool ByteSink::Flush() {
    Drain();
    return error_ == 0;
}

bool IsProtectedFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

OutputFile::OutputFile(const std::string& target, bool replace)
    : target_(target), replace_(replace) {
    static std::atomic<unsigned> counter{0};
    if (replace) {
        struct stat st {};
        if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
                error_ = SystemErrorText(EACCES);
                return;
            }
            keepMode_ = st.st_mode & 0777; // never a set-id bit on a file we wrote
        }
    }
    const std::size_t slash = target.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_ = dir + "." + name + ".tmp" + std::to_string(::getpid()) + "-" +
                std::to_string(counter++);
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0 || errno != EEXIST) break;
    }
    if (fd_ < 0) {
        error_ = SystemErrorText(errno);
        temp_.clear();
    } else if (keepMode_ != 0) {
        ::fchmod(fd_, static_cast<mode_t>(keepMode_));
    }
}

OutputFile::~OutputFile() {
    Discard();
}

bool OutputFile::Fail(int err) {
    error_ = SystemErrorText(err);
    Discard();
    return false;
}

void OutputFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}

bool OutputFile::Commit() {
    if (fd_ < 0) return false;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Fail(errno);
    if (replace_) {
        // Protected while it was written: still never replaced.
        if (IsProtectedFile(target_)) return Fail(EACCES);
        if (::rename(temp_.c_str(), target_.c_str()) != 0) return Fail(errno);
    } else {
        // link() refuses an existing target atomically; file systems without hard links fall
        // back to a checked rename.
        if (::link(temp_.c_str(), target_.c_str()) == 0) {
            ::unlink(temp_.c_str());
        } else {
            const int err = errno;
            if (err == EEXIST) return Fail(EEXIST);
            struct stat st {};
            if (::lstat(target_.c_str(), &st) == 0) return Fail(EEXIST);
            if (::rename(temp_.c_str(), target_.c_str()) != 0) return Fail(errno);
        }
    }
    temp_.clear();
    return true;
}

} // namespace tesmora
