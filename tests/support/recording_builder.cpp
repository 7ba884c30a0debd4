#include "support/recording_builder.h"

#include <utility>

namespace tesmora::test {

lqd::Ws56Channel Values(float oxhb, float dxhb, float sto2, std::uint16_t status) {
    return {status, oxhb, dxhb, sto2};
}

lqd::Ws56Channel Error(std::uint16_t status) {
    return {status, 0, 0, 0};
}

Ws56File::Ws56File() {
    header_.start = lqd::BcdDateTime(2021, 6, 1, 12, 0, 0);
    header_.end = lqd::BcdDateTime(2021, 6, 1, 13, 0, 0);
    header_.serial = "0001";
}

Ws56File& Ws56File::Start(int y, int mo, int d, int h, int mi, int s) {
    header_.start = lqd::BcdDateTime(y, mo, d, h, mi, s);
    return *this;
}

Ws56File& Ws56File::End(int y, int mo, int d, int h, int mi, int s) {
    header_.end = lqd::BcdDateTime(y, mo, d, h, mi, s);
    return *this;
}

Ws56File& Ws56File::RawStart(std::array<std::uint8_t, 6> bcd) {
    header_.start = bcd;
    return *this;
}

Ws56File& Ws56File::Serial(std::string raw) {
    header_.serial = std::move(raw);
    return *this;
}

Ws56File& Ws56File::Patient(std::string id, std::string name) {
    header_.patientId = std::move(id);
    header_.patientName = std::move(name);
    return *this;
}

Ws56File& Ws56File::Record(std::uint32_t counter) {
    const float v = static_cast<float>(counter % 1000) / 1000.0f;
    return Record(counter,
                  {Values(v, -v, 0.6f), Values(2 * v, -v, 0.65f), Values(v, -2 * v, 0.7f)});
}

Ws56File& Ws56File::Record(std::uint32_t counter, std::array<lqd::Ws56Channel, 3> ch, float batt) {
    lqd::AppendWs56Record(body_, {counter, batt, ch});
    return *this;
}

Ws56File& Ws56File::Records(std::uint32_t first, int n) {
    for (int k = 0; k < n; ++k) Record(first + static_cast<std::uint32_t>(k));
    return *this;
}

std::vector<std::uint8_t> Ws56File::Bytes() const {
    std::vector<std::uint8_t> out = lqd::EncodeWs56Header(header_);
    out.insert(out.end(), body_.begin(), body_.end());
    return out;
}

Ws31File::Ws31File() {
    header_.start = lqd::BcdDateTime(2021, 6, 1, 10, 0, 0);
    header_.end = {lqd::Bcd(11), 0, 0};
    header_.serial = "0002";
}

Ws31File& Ws31File::Start(int y, int mo, int d, int h, int mi, int s) {
    header_.start = lqd::BcdDateTime(y, mo, d, h, mi, s);
    return *this;
}

Ws31File& Ws31File::RawStart(std::array<std::uint8_t, 6> bcd) {
    header_.start = bcd;
    return *this;
}

Ws31File& Ws31File::EndTime(int h, int mi, int s) {
    header_.end = {lqd::Bcd(h), lqd::Bcd(mi), lqd::Bcd(s)};
    return *this;
}

Ws31File& Ws31File::Serial(std::string raw) {
    header_.serial = std::move(raw);
    return *this;
}

Ws31File& Ws31File::Stamped(int h, int mi, int s, std::uint8_t flags, float sto2, float oxhb,
                            float dxhb) {
    lqd::AppendWs31Record(body_, {lqd::Ws31Stamp(h, mi, s, flags), sto2, oxhb, dxhb});
    return *this;
}

Ws31File& Ws31File::RawStamped(std::array<std::uint8_t, 4> stamp) {
    lqd::AppendWs31Record(body_, {stamp, 0.5f, 0.0f, 0.0f});
    return *this;
}

Ws31File& Ws31File::Untimed(float sto2, float oxhb, float dxhb) {
    lqd::AppendWs31Record(body_, {std::nullopt, sto2, oxhb, dxhb});
    return *this;
}

Ws31File& Ws31File::Untimed(int n) {
    for (int k = 0; k < n; ++k) Untimed(0.6f + static_cast<float>(k % 100) / 1000.0f);
    return *this;
}

std::vector<std::uint8_t> Ws31File::Bytes() const {
    std::vector<std::uint8_t> out = lqd::EncodeWs31Header(header_);
    out.insert(out.end(), body_.begin(), body_.end());
    return out;
}

} // namespace tesmora::test
