#pragma once
// Writes binary recordings byte by byte: the demo generator and the tests compose files with it,
// well-formed or deliberately broken.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tesmora::lqd {

/// A packed BCD byte of a value 0..99.
std::uint8_t Bcd(int value);
/// Year (2000..2099), month, day, hour, minute, second as six BCD bytes.
std::array<std::uint8_t, 6> BcdDateTime(int year, int month, int day, int h, int m, int s);

/// One channel block of a three-channel record; the values are written only when the status
/// lacks the device's error bit 0x0040.
struct Ws56Channel {
    std::uint16_t status = 0;
    float oxhb = 0, dxhb = 0, sto2 = 0;
};

struct Ws56Record {
    std::uint32_t counter = 0;
    float batt = 0;
    std::array<Ws56Channel, 3> ch{};
};

struct Ws56Header {
    std::array<std::uint8_t, 6> start{};
    std::array<std::uint8_t, 6> end{};
    std::string serial;      // raw bytes, cut or zero-padded to 12
    std::string patientId;   // 16
    std::string patientName; // 32
};

/// One record of a single-channel file. No stamp: the four bytes 0xFF.
struct Ws31Record {
    std::optional<std::array<std::uint8_t, 4>> stamp; // second, minute, hour (BCD), flags
    float sto2 = 0, oxhb = 0, dxhb = 0;
};

/// A stamp of a single-channel record; flags bit 0x80 marks the gap before it as errors.
std::array<std::uint8_t, 4> Ws31Stamp(int h, int m, int s, std::uint8_t flags = 0);

struct Ws31Header {
    std::array<std::uint8_t, 6> start{};
    std::array<std::uint8_t, 3> end{}; // hour, minute, second
    std::uint16_t count = 0;
    std::string serial; // raw bytes, cut or zero-padded to 13
};

std::vector<std::uint8_t> EncodeWs56Header(const Ws56Header& h);
void AppendWs56Record(std::vector<std::uint8_t>& out, const Ws56Record& r);
std::vector<std::uint8_t> EncodeWs56(const Ws56Header& h, const std::vector<Ws56Record>& records);

std::vector<std::uint8_t> EncodeWs31Header(const Ws31Header& h);
void AppendWs31Record(std::vector<std::uint8_t>& out, const Ws31Record& r);
std::vector<std::uint8_t> EncodeWs31(const Ws31Header& h, const std::vector<Ws31Record>& records);

/// Writes bytes to a file; false on failure.
bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

} // namespace tesmora::lqd
