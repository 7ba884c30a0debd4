#include "recording/byte_source.h"

#include "recording/system_error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tesmora {

InputFile::InputFile(const std::string& path) {
    // Non-blocking for the open only, so that a FIFO without a writer cannot stall it.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error_ = SystemErrorText(errno);
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        error_ = SystemErrorText(S_ISDIR(st.st_mode) ? EISDIR : errno);
        ::close(fd);
        return;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    fd_ = fd;
}

InputFile::~InputFile() {
    Close();
}

void InputFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

ByteSource::ByteSource(int fd, std::size_t bufferSize)
    : fd_(fd), capacity_(std::max<std::size_t>(bufferSize, 1)),
      buffer_(std::make_unique<std::uint8_t[]>(capacity_)) {}

ByteSource::~ByteSource() = default;

long ByteSource::ReadSystem(void* dst, std::size_t n) {
    for (;;) {
        const ssize_t got = ::read(fd_, dst, n);
        if (got >= 0 || errno != EINTR) return static_cast<long>(got);
    }
}

bool ByteSource::Refill() {
    pos_ = end_ = 0;
    if (eof_) return false;
    ++systemReads_;
    const long got = ReadSystem(buffer_.get(), capacity_);
    if (got <= 0) {
        eof_ = true;
        failed_ = got < 0;
        return false;
    }
    end_ = static_cast<std::size_t>(got);
    return true;
}

std::size_t ByteSource::ReadSlow(void* dst, std::size_t n) {
    auto* out = static_cast<std::uint8_t*>(dst);
    std::size_t done = 0;
    while (done < n) {
        if (pos_ == end_ && !Refill()) break;
        const std::size_t take = std::min(n - done, end_ - pos_);
        std::memcpy(out + done, buffer_.get() + pos_, take);
        pos_ += take;
        done += take;
    }
    return done;
}

} // namespace tesmora
