#pragma once
// Files as the writers see them: buffered writes that remember the first failure, and output
// files that appear under their name only once they are complete.

#include "recording/system_error.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tesmora {

/// Buffered writes to a descriptor. After the first failed system write everything else is
/// dropped; Flush() tells whether every byte arrived.
class ByteSink {
public:
    static constexpr std::size_t DEFAULT_BUFFER = 256 * 1024;

    explicit ByteSink(int fd, std::size_t bufferSize = DEFAULT_BUFFER);
    virtual ~ByteSink();
    ByteSink(const ByteSink&) = delete;
    ByteSink& operator=(const ByteSink&) = delete;

    void Write(const void* data, std::size_t n);
    void Write(std::string_view text) { Write(text.data(), text.size()); }
    /// A decimal integer, "-" before a negative one.
    void WriteInteger(std::int64_t value);
    void Put(char c) {
        if (pos_ == capacity_) Drain();
        buffer_[pos_++] = c;
    }
    /// Room for at least n bytes written directly through Cursor() and Advance().
    char* Reserve(std::size_t n);
    void Advance(std::size_t n) { pos_ += n; }

    /// Writes out the buffer; true when every byte written so far reached the system.
    bool Flush();
    bool Failed() const { return error_ != 0; }
    int Error() const { return error_; }

protected:
    /// One system write; returns the count written or -1. Tests override it.
    virtual long WriteSystem(const void* data, std::size_t n);

private:
    void Drain();

    int fd_;
    std::size_t capacity_;
    std::unique_ptr<char[]> buffer_;
    std::size_t pos_ = 0;
    int error_ = 0;
};

/// True when the file's mode has no write bit for anyone: the user protected it. The mode
/// bits decide, not access(), so that the rule holds for root too.
bool IsProtectedFile(const std::string& path);

/// A new file written under a temporary name beside its target and moved into place by
/// Commit(); a file that is never committed is removed. A protected target is never replaced.
class OutputFile {
public:
    /// replace: an existing target is replaced on Commit(), keeping its permissions; a
    /// protected one fails here with EACCES. Otherwise Commit() fails with EEXIST.
    OutputFile(const std::string& target, bool replace);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }
    /// The file's name until Commit(), for a library that writes files by name (it writes
    /// there; this object still owns the file and removes it unless committed).
    const std::string& TemporaryPath() const { return temp_; }
    /// The system's text of the last failure.
    const std::string& Error() const { return error_; }

    /// Closes the file and gives it its name. False (and nothing left behind) on failure.
    bool Commit();
    /// Drops the file.
    void Discard();

private:
    bool Fail(int err);

    std::string target_;
    std::string temp_;
    bool replace_;
    unsigned keepMode_ = 0; // the permission bits of the file replaced, 0 for a new file
    int fd_ = -1;
    std::string error_;
};

} // namespace tesmora
