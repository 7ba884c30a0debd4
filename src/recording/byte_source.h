#pragma once
// Files as the readers see them: a handle closed by scope, and buffered byte reads.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace tesmora {

/// A file opened read-only, closed when the object goes away.
class InputFile {
public:
    /// Opens path for reading. On failure the file is not open and error() tells why, in the
    /// system's words. A directory does not open; a FIFO without a writer reads as empty.
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }
    const std::string& Error() const { return error_; }
    void Close();

private:
    int fd_ = -1;
    std::string error_;
};

/// Buffered reads from a descriptor. The readers ask for a few bytes at a time; the system sees
/// reads of the buffer's size. A read error counts as the end of the data (Failed() tells).
class ByteSource {
public:
    static constexpr std::size_t DEFAULT_BUFFER = 64 * 1024;

    explicit ByteSource(int fd, std::size_t bufferSize = DEFAULT_BUFFER);
    virtual ~ByteSource();
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    /// Copies up to n bytes into dst; returns the count, less than n only at the end of the data.
    std::size_t Read(void* dst, std::size_t n) {
        if (end_ - pos_ >= n) { // the common case: the bytes are in the buffer
            std::memcpy(dst, buffer_.get() + pos_, n);
            pos_ += n;
            return n;
        }
        return ReadSlow(dst, n);
    }

    /// The bytes buffered and not yet taken, refilled when there are none: empty only at the
    /// end of the data. Take them with Consume().
    std::pair<const std::uint8_t*, std::size_t> Peek() {
        if (pos_ == end_) Refill();
        return {buffer_.get() + pos_, end_ - pos_};
    }
    void Consume(std::size_t n) { pos_ += n; }

    bool Failed() const { return failed_; }
    std::uint64_t SystemReads() const { return systemReads_; }

protected:
    /// One system read; returns the count, 0 at the end, -1 on error. Tests override it.
    virtual long ReadSystem(void* dst, std::size_t n);
    /// A read that the buffered bytes cannot serve: refills the buffer as often as needed.
    virtual std::size_t ReadSlow(void* dst, std::size_t n);
    /// Marks the end of the data, after a failed read when failed.
    void SetEnd(bool failed) {
        eof_ = true;
        failed_ = failed_ || failed;
    }
    bool AtEnd() const { return eof_; }
    void CountSystemRead() { ++systemReads_; }

private:
    bool Refill();

    int fd_;
    std::size_t capacity_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool failed_ = false;
    std::uint64_t systemReads_ = 0;
};

} // namespace tesmora
