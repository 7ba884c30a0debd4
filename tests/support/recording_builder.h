#pragma once
// Binary recordings composed in code, for the tests.

#include "lqd_encoder.h"

#include <array>
#include <cstdint>
#include <vector>

namespace tesmora::test {

/// A valid channel block.
lqd::Ws56Channel Values(float oxhb, float dxhb, float sto2, std::uint16_t status = 0);
/// An error channel block (device bit 0x0040 set): no values follow in the file.
lqd::Ws56Channel Error(std::uint16_t status = 0x0040);

/// A three-channel file. Defaults: 2021/06/01 12:00:00 to 13:00:00, serial "0001".
class Ws56File {
public:
    Ws56File();
    Ws56File& Start(int y, int mo, int d, int h, int mi, int s);
    Ws56File& End(int y, int mo, int d, int h, int mi, int s);
    Ws56File& RawStart(std::array<std::uint8_t, 6> bcd);
    Ws56File& Serial(std::string raw);
    Ws56File& Patient(std::string id, std::string name);
    /// One record; by default three valid channels with values derived from the counter.
    Ws56File& Record(std::uint32_t counter);
    Ws56File& Record(std::uint32_t counter, std::array<lqd::Ws56Channel, 3> ch, float batt = 3.7f);
    /// n records with consecutive counters from `first`.
    Ws56File& Records(std::uint32_t first, int n);
    std::vector<std::uint8_t> Bytes() const;

private:
    lqd::Ws56Header header_;
    std::vector<std::uint8_t> body_;
};

/// A single-channel file. Defaults: 2021/06/01 10:00:00, end 11:00:00, serial "0002".
class Ws31File {
public:
    Ws31File();
    Ws31File& Start(int y, int mo, int d, int h, int mi, int s);
    Ws31File& RawStart(std::array<std::uint8_t, 6> bcd);
    Ws31File& EndTime(int h, int mi, int s);
    Ws31File& Serial(std::string raw);
    Ws31File& Stamped(int h, int mi, int s, std::uint8_t flags = 0, float sto2 = 0.65f,
                      float oxhb = 0.1f, float dxhb = -0.05f);
    Ws31File& RawStamped(std::array<std::uint8_t, 4> stamp);
    Ws31File& Untimed(float sto2 = 0.65f, float oxhb = 0.1f, float dxhb = -0.05f);
    Ws31File& Untimed(int n);
    std::vector<std::uint8_t> Bytes() const;

private:
    lqd::Ws31Header header_;
    std::vector<std::uint8_t> body_;
};

} // namespace tesmora::test
