#include "lqd_encoder.h"

#include <bit>
#include <cstdio>

namespace tesmora::lqd {
namespace {

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
}

void PutF32(std::vector<std::uint8_t>& out, float v) {
    PutU32(out, std::bit_cast<std::uint32_t>(v));
}

template <std::size_t N>
void PutBytes(std::vector<std::uint8_t>& out, const std::array<std::uint8_t, N>& bytes) {
    for (std::uint8_t b : bytes) out.push_back(b);
}

void PutText(std::vector<std::uint8_t>& out, const std::string& text, std::size_t width) {
    for (std::size_t k = 0; k < width; ++k)
        out.push_back(k < text.size() ? static_cast<std::uint8_t>(text[k]) : 0);
}

} // namespace

std::uint8_t Bcd(int value) {
    return static_cast<std::uint8_t>((value / 10) << 4 | value % 10);
}

std::array<std::uint8_t, 6> BcdDateTime(int year, int month, int day, int h, int m, int s) {
    return {Bcd(year - 2000), Bcd(month), Bcd(day), Bcd(h), Bcd(m), Bcd(s)};
}

std::array<std::uint8_t, 4> Ws31Stamp(int h, int m, int s, std::uint8_t flags) {
    return {Bcd(s), Bcd(m), Bcd(h), flags};
}

std::vector<std::uint8_t> EncodeWs56Header(const Ws56Header& h) {
    std::vector<std::uint8_t> out = {'W', 'S', '5', '6'};
    PutBytes(out, h.start);
    PutBytes(out, h.end);
    PutU32(out, 0);
    PutText(out, h.serial, 12);
    PutText(out, h.patientId, 16);
    PutText(out, h.patientName, 32);
    return out;
}

void AppendWs56Record(std::vector<std::uint8_t>& out, const Ws56Record& r) {
    PutU32(out, r.counter);
    PutF32(out, r.batt);
    for (const Ws56Channel& c : r.ch) {
        PutU16(out, c.status);
        if (c.status & 0x0040) continue;
        PutF32(out, c.oxhb);
        PutF32(out, c.dxhb);
        PutF32(out, c.sto2);
    }
}

std::vector<std::uint8_t> EncodeWs56(const Ws56Header& h, const std::vector<Ws56Record>& records) {
    std::vector<std::uint8_t> out = EncodeWs56Header(h);
    for (const Ws56Record& r : records) AppendWs56Record(out, r);
    return out;
}

std::vector<std::uint8_t> EncodeWs31Header(const Ws31Header& h) {
    std::vector<std::uint8_t> out = {'W', 'S', '3', '1'};
    PutBytes(out, h.start);
    PutBytes(out, h.end);
    PutU16(out, h.count);
    PutText(out, h.serial, 13);
    PutU32(out, 0);
    return out;
}

void AppendWs31Record(std::vector<std::uint8_t>& out, const Ws31Record& r) {
    if (r.stamp)
        PutBytes(out, *r.stamp);
    else
        PutU32(out, 0xFFFFFFFFu);
    PutF32(out, r.sto2);
    PutF32(out, r.oxhb);
    PutF32(out, r.dxhb);
}

std::vector<std::uint8_t> EncodeWs31(const Ws31Header& h, const std::vector<Ws31Record>& records) {
    std::vector<std::uint8_t> out = EncodeWs31Header(h);
    for (const Ws31Record& r : records) AppendWs31Record(out, r);
    return out;
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace tesmora::lqd
